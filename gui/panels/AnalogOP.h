// The analog output panel: fixes the loop current at the present value or an entered one (loop
// test) and releases it.
#pragma once

#include <vector>

#include "gui/FontManager.h"
#include "gui/OperationPanel.h"
#include "gui/ResourceManager.h"

class QPushButton;

namespace va5 {

class CLblColor;

class CAnalogOP : public COperationPanel, public CResourceManager, public CFontManager {
  Q_OBJECT

 public:
  explicit CAnalogOP(QWidget* parent = nullptr);

  void Show(bool visible) override;

 private:
  void Build();
  void UpdateAccessibleNames();
  void EnableButtons();
  void OnConnectionChanged() override;
  void OnDone(const session::Operation& operation) override;

  // Click handlers.
  void OnSetFromPresentCurrent();
  void OnSetSpecified();
  void OnExitFixedMode();

  CLblColor* title_ = nullptr;
  std::vector<QPushButton*> actions_;
  QPushButton* close_ = nullptr;
};

}  // namespace va5
