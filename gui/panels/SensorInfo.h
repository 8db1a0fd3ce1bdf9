// The sensor information panel: the sensor and output configuration of the connected
// transmitter, one row per setting, each caption button opening the entry for its setting.
#pragma once

#include <QString>
#include <QTimer>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "device/GlobalFile.h"
#include "gui/FontManager.h"
#include "gui/Panel.h"
#include "gui/ResourceManager.h"
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

// A message of the language file's UIMsg section with its inserts.
struct UIMessageText {
  std::string key;
  std::vector<std::string> args;
};

// The UIMsg text that tells the technician why a setting was not written.
UIMessageText MessageOfReason(const session::Reason& reason);

// The panel works on one session at a time (null while off line). Its main window routes the
// worker's messages under ReplyMessage() to OnWorkerMessage and applies the signals:
//
//   busyChanged(true/false)  disable / enable the main window: from a setting's submission
//                            until its request chain has ended (polls never change it);
//   linkFailure(operation)   the link failed and the retry policy leaves the answer to the
//                            technician: ask "Err_COM", then call operation->Answer(retry);
//   linkLost()               a setting ended because the link is gone: mark the device
//                            disconnected (SetSession(nullptr));
//   unitsChanged(pv, term)   the unit labels of the live display, e.g. "degC".
class CSensorInfo : public CPanel, public CResourceManager, public CFontManager {
  Q_OBJECT

 public:
  CSensorInfo(session::Session* session, const CglobalFile& tables, QWidget* parent = nullptr);
  ~CSensorInfo() override;

  // A new connection (or none): the buttons follow it, a running setting is dropped, and
  // unknown device codes are reported again.
  void SetSession(session::Session* session);
  session::Session* GetSession() const { return session_; }

  void Show(bool visible) override;
  bool OnWorkerMessage(const WorkerMessage& message) override;

  // Fills every row from the device record (or the start values while off line).
  void Refresh();

  // True from a setting's submission until its request chain has ended.
  bool Busy() const { return operation_ != nullptr; }
  session::Operation* CurrentOperation() const { return operation_.get(); }

  // The caption button or value label with the given control identifier (null if none).
  QPushButton* Button(int controlId) const;
  QLabel* ValueLabel(int controlId) const;

 signals:
  void busyChanged(bool busy);
  void linkFailure(va5::session::Operation* operation);
  void linkLost();
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
  bool Connected() const { return session_ != nullptr && !linkLost_; }

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
  // A selection from one code table, preselected by the shown name; sends the chosen name.
  void SelectAndWrite(session::Setting setting, const char* titleKey, const StringTable& names,
                      const StringTable& codes, int valueId);

  // Checks `values` for `setting`, against the device too, and starts its request chain.
  // A refused entry is shown and nothing is sent.
  void Write(session::Setting setting, const std::vector<std::string>& values);
  void ShowReason(const session::Reason& reason);
  void Follow(session::Operation::Status status);
  void Finish();

  session::Session* session_;
  const CglobalFile& tables_;
  bool linkLost_ = false;
  std::unique_ptr<session::Operation> operation_;
  QTimer pauseTimer_;
  std::set<std::pair<int, int>> reportedCodes_;  // (value control id, code)
  std::map<int, QWidget*> controls_;
  CLblColor* title_ = nullptr;
  std::vector<QPushButton*> buttons_;
};

}  // namespace va5
