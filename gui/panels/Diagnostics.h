// The diagnostics panel: the self test, the reset of the configuration-changed flag and the six
// EEPROM lamps of the additional status.
#pragma once

#include <QColor>
#include <array>

#include "gui/FontManager.h"
#include "gui/OperationPanel.h"

class QLabel;
class QPushButton;

namespace va5 {

class CLblColor;

class CDiagnostics : public COperationPanel, public CFontManager {
  Q_OBJECT

 public:
  explicit CDiagnostics(QWidget* parent = nullptr);

  void Show(bool visible) override;

  // Lamp colours: a set bit, a clear bit (before the first reading: the button face).
  static QColor ErrorColour() { return QColor(255, 0, 0); }
  static QColor OkColour() { return QColor(64, 191, 0); }

 private:
  static constexpr std::size_t kLamps = 6;

  void Build();
  void UpdateAccessibleNames();
  void EnableButtons(bool on);
  void ResetLamps();
  void ShowLamps();

  void OnConnectionChanged() override;
  void OnDone(const session::Operation& operation) override;

  // Click handlers.
  void OnExecute();
  void OnResetFlag();
  void OnReadStatus();

  CLblColor* title_ = nullptr;
  CLblColor* heading_ = nullptr;
  std::array<CLblColor*, kLamps> lamps_{};
  std::array<QLabel*, kLamps> lampLabels_{};
  QPushButton* execute_ = nullptr;
  QPushButton* resetFlag_ = nullptr;
  QPushButton* readStatus_ = nullptr;
  QPushButton* close_ = nullptr;
};

}  // namespace va5
