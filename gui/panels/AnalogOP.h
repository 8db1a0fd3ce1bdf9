// The analog output panel: fixes the loop current at the present value or an entered one (loop
// test) and releases it.
#pragma once

#include <vector>

#include "gui/FontManager.h"
#include "gui/OperationPanel.h"

class QPushButton;

namespace va5 {

class CLblColor;
class CLoopOutput;

class CAnalogOP : public COperationPanel, public CFontManager {
  Q_OBJECT

 public:
  explicit CAnalogOP(QWidget* parent = nullptr);

  void Show(bool visible) override;
  // Where the panel tells what its writes did to the output, and asks on closing whether to
  // return it to normal.
  void SetLoopOutput(CLoopOutput* output) { output_ = output; }

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
  void OnClose();

  CLblColor* title_ = nullptr;
  std::vector<QPushButton*> actions_;
  QPushButton* close_ = nullptr;
  CLoopOutput* output_ = nullptr;
  bool closeAfterReturn_ = false;  // the running chain returns the output before the panel goes
};

}  // namespace va5
