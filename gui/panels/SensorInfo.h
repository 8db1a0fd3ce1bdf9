// The sensor information panel: the sensor and output configuration of the connected
// transmitter, one row per setting, each caption button opening the entry for its setting.
#pragma once

#include <QString>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "device/GlobalFile.h"
#include "gui/FontManager.h"
#include "gui/OperationPanel.h"
#include "session/Operation.h"
#include "session/Reason.h"
#include "session/Setting.h"

class QLabel;
class QPushButton;

namespace va5 {

class CLblColor;

namespace session {
class Session;
}

// The panel works on one session at a time (null while off line); besides the signals of
// every operation panel it tells the live display its units:
//
//   unitsChanged(pv, term)   the unit labels of the live display, e.g. "degC".
class CSensorInfo : public COperationPanel, public CFontManager {
  Q_OBJECT

 public:
  CSensorInfo(session::Session* session, const CglobalFile& tables, QWidget* parent = nullptr);
  ~CSensorInfo() override;

  void Show(bool visible) override;

  // Fills every row from the device record (or the start values while off line).
  void Refresh();

  // The caption button or value label with the given control identifier (null if none).
  QPushButton* Button(int controlId) const;
  QLabel* ValueLabel(int controlId) const;

 signals:
  void unitsChanged(const QString& pvUnit, const QString& terminalUnit);
  // A code the tables do not name, once per connection and row: the row's value control id.
  void unknownCode(int valueControlId, int code);

 private:
  struct Row {
    QWidget* caption = nullptr;
    QLabel* value = nullptr;
  };

  void Build();
  QPushButton* AddButton(int id, void (CSensorInfo::*handler)());
  QLabel* AddLabel(int id);
  QLabel* AddValue(int id);
  void UpdateAccessibleNames();
  void EnableButtons();
  // A new connection (or none): the buttons follow it, and unknown device codes of a new
  // connection are reported again.
  void OnConnectionChanged() override;
  bool OnOtherMessage(const WorkerMessage& message) override;
  void OnDone(const session::Operation& operation) override;

  // The name of `code`, or its number when the table lacks it (reported once).
  QString NameOf(const StringTable& names, const StringTable& codes, int code, int valueId);
  void SetValue(int valueId, const QString& text);

  // Click handlers.
  void OnSensorType();
  void OnSerialNumber();
  void OnPvUnit();
  void OnPvRange();
  void OnDamping();
  void OnBurnout();
  void OnCjcMode();
  void OnTransferFunction();
  void OnTerminalUnit();
  // A setting that moves the loop current or the measurement: an entry that passes the checks
  // is written once the technician has agreed (ConfirmLoopChange); a refused one is shown.
  void WriteLoopSetting(session::Setting setting, const std::vector<std::string>& values);
  // A selection from one code table, preselected by the shown name; sends the chosen name.
  void SelectAndWrite(session::Setting setting, const char* titleKey, const StringTable& names,
                      const StringTable& codes, int valueId, bool movesLoop);

  const CglobalFile& tables_;
  session::Session* lastSession_ = nullptr;
  std::set<std::pair<int, int>> reportedCodes_;  // (value control id, code)
  std::map<int, QWidget*> controls_;
  CLblColor* title_ = nullptr;
  std::vector<QPushButton*> buttons_;
};

}  // namespace va5
