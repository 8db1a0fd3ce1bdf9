// The main window: the status strip on top; on the left the sensor information panel or the
// one function panel the technician opened; the live display in the middle; the function keys
// on the right. It runs the link's Connection and routes the worker's messages; the link's
// state is the Connection's, never the window's own.
#pragma once

#include <QDialog>
#include <QPointer>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "comm/COMPortEnumerator.h"
#include "comm/HartResult.h"
#include "comm/Timing.h"
#include "comm/Trace.h"
#include "device/DeviceRecord.h"
#include "device/GlobalFile.h"
#include "gui/FontManager.h"
#include "session/Connection.h"
#include "session/LinkHold.h"
#include "session/Operation.h"
#include "session/RequestChain.h"

class QAction;
class QHBoxLayout;
class QVBoxLayout;

namespace va5 {

namespace session {
class Session;
}

class CAppSettings;
class CColumnWidth;
class CConnectDevice;
class CFunctionKeys;
class CLinkRelay;
class CLookingForDeviceInfo;
class COperationPanel;
class COperationRunner;
class CPanel;
class CPollingAddr;
class CSetting;
class CTrafficMonitor;
class CUploadDeviceInfo;
class GuiMessageSink;
struct WorkerMessage;

// What the window is built with; tests scale the timing and bring their own ports.
struct MainWindowOptions {
  Timing timing;
  CCOMPortEnumerator::Source portSource = PlatformPortSources;
  std::vector<std::string> watchedFolders = {};   // empty: the platform's folders
  bool platformFolders = true;                    // false: watch `watchedFolders` only
  TraceSink trace = NullTraceSink();              // the link's frames
  std::vector<std::string> languageFolders = {};  // empty: beside the program, then installed
};

class CMainDlgDlg : public QDialog, public CFontManager {
  Q_OBJECT

 public:
  enum ProgressKind { kUploadProgress = 0, kSearchProgress = 1 };

  explicit CMainDlgDlg(CAppSettings& settings, MainWindowOptions options = {},
                       QWidget* parent = nullptr);
  ~CMainDlgDlg() override;

  // Loads the language file of the settings (a failure is reported once and the texts stay)
  // and retitles the always-visible windows; `first` at start-up.
  void ReloadLanguage(bool first);
  // The left column asks for the width of its widest panel in the language loaded.
  void UpdateLeftColumnWidth();
  static QString Title();

  // The windows other parts of the program make. Each replaces a placeholder.
  void SetStatusStrip(QWidget* strip);
  void SetDisplayArea(QWidget* area);
  void SetSensorPanel(CPanel* panel);
  // A function panel opened by the key `keyId`; its close button returns to the home view.
  // A panel that runs operations is attached too (AttachPanel).
  void AddFunctionPanel(int keyId, CPanel* panel);
  // Hands the connected session to the panel and answers its busy, link-failure and
  // link-lost signals.
  void AttachPanel(COperationPanel* panel);
  // A function key that opens something other than a left-column panel.
  void AddKeyHandler(int keyId, std::function<void()> handler);

  // What the technician may want done before a device (or the work done on it) is left on
  // their word (the output returned to normal, the job record saved). Each guard is asked in
  // turn, in the order added, and decides for itself whether it has anything to ask; one that
  // returns false keeps the window where it is (a language change, which has already
  // happened, goes on whatever they return).
  enum class Leaving { Disconnect, FileEditor, Exit, LanguageChange };
  using LeaveGuard = std::function<bool(Leaving)>;
  void AddLeaveGuard(LeaveGuard guard) { leaveGuards_.push_back(std::move(guard)); }
  // True when every guard agreed.
  bool ReadyToLeave(Leaving why);

  // Views: a function panel in place of the sensor information panel, or home.
  void ShowPanel(CPanel* panel);
  void ShowHome();
  // The graph view: `graph` in place of the live display, the function keys hidden. A graph
  // shown over another (a table graph over the trend) gives the place back to it when hidden;
  // hiding the last one brings the live display and the keys back. ShowHome hides them all.
  void ShowGraph(QWidget* graph);
  void HideGraph(QWidget* graph);
  QWidget* CurrentGraph() const { return graph_; }
  CPanel* CurrentPanel() const { return current_; }
  // The configuration file editor's view: `page` takes the whole window, the status strip,
  // the left column, the live display or graph and the function keys are hidden, and the
  // page receives the worker's messages. The device is disconnected first. ShowHome leaves it.
  void ShowFileEditor(CPanel* page);
  CPanel* FileEditorPage() const { return editorPage_; }
  // Puts the keyboard focus on the first button a technician works with: the sensor panel's
  // when it takes input, else the function keys'.
  void FocusHome();

  // The link.
  void Connect();    // opens the selected port and connects to the device at the address
  void ResetLink();  // takes the link off line: the connection closed, every run dropped
  // A link for the file editor: opens the connect panel's port at its polling address, off
  // the user-interface thread, with no identification and no poll; the worker's messages go
  // to the editor page shown. `opened` gets the session, or null when the port did not open
  // and the technician cancelled. The editor drives its requests and calls ResetLink when done.
  void OpenEditorLink(std::function<void(session::Session*)> opened);
  const std::string& PortName() const { return portName_; }
  void Search(int fromAddress);
  void ShowProgress(const QString& text, int kind);
  void HideProgress(int kind);

  // Runs `chain` on the connected device from the worker's messages. The window stays
  // disabled until the chain is done; failures are answered by the session's policy or asked.
  // False when no device is connected or another chain runs.
  bool RunOperation(session::RequestChain chain, bool monitoringAfter,
                    std::function<void(const session::OperationOutcome&)> done);
  // A run left a link failure to the technician: the one place that asks "Err_COM" (or, when
  // a search round found nothing, "Err_Not_Device"), one question at a time, and answers the
  // run: Retry goes on with the step that failed (the port opened again when it had failed),
  // Cancel gives the link up and the run ends off line.
  void AskLinkFailure(COperationRunner* runner);
  // A panel's own chain runs (true) or has ended (false).
  void SetPanelBusy(bool busy);
  // A multi-request operation of a panel: input to the function keys is dropped meanwhile.
  void SetBusy(bool busy) { busy_ = busy; }
  bool Busy() const { return busy_; }
  void SetHold(bool on);

  // A device is connected and monitored (the connection reached its goal).
  bool Connected() const;
  bool Searching() const;
  // The link's state: off line without a connection.
  session::Connection::State LinkState() const;
  // "Off line", or the port, the polling address and the tag of the connected device.
  QString LinkStatusText() const;
  bool ProgressShown() const { return progressShown_; }
  // Whether the window takes input: not while a chain runs, a progress window is shown, the
  // port opens or the window waits before connecting.
  bool InputEnabled() const;
  // The connected device's record, else the last one read (start values at first).
  DeviceRecord Record() const;
  session::Session* CurrentSession() const;
  // The code tables the window's panels name codes with; they live as long as the window.
  const CglobalFile& Tables() const { return tables_; }

  CFunctionKeys* FunctionKeys() const { return functionKeys_; }
  CConnectDevice* ConnectPanel() const { return connectPanel_; }
  CPollingAddr* PollingPanel() const { return pollingPanel_; }
  CUploadDeviceInfo* UploadProgress() const { return upload_; }
  CLookingForDeviceInfo* SearchProgress() const { return search_; }
  QAction* AboutAction() const { return about_; }
  QAction* TrafficMonitorAction() const { return trafficAction_; }
  // "Job Record..." of the context menu (Ctrl+J); what it opens is connected by the assembly.
  QAction* JobRecordAction() const { return jobAction_; }
  CTrafficMonitor* TrafficMonitor() const { return trafficMonitor_; }

 signals:
  void sessionChanged(va5::session::Session* session);  // connected, or null
  void deviceConnected();   // the upload has ended: refresh units and scales
  void pollCompleted();     // a poll result to show
  void pollRefused();       // the device refused a poll: only the comm lamps change
  void linkStatusChanged();  // on line or off line, and what the status text says
  void linkFailed();        // a failure that is not retried silently: status lamp red
  void languageReloaded();  // retitle the always-visible windows

 protected:
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void reject() override;

 private:
  friend class CLinkRelay;

  void OnKey(int keyId);
  void SetTarget(CPanel* panel);
  void UpdateEnabled();
  void UpdateDeviceKeys();
  void ShowAbout();
  QRect DisplayRect() const;
  void WaitThen(Millis wait, std::function<void()> then);

  // The link.
  void StartLink(int address, session::Connection::Goal goal);
  void OnLinkState(session::Connection::State state, session::Connection::State previous);
  void OnConnected();
  void OnLinkEnded(const session::OperationOutcome& outcome);
  void OnSearchEnded();
  void OnPoll(HartResult result);
  void OnWorkerMessage(const WorkerMessage& message);
  void OnOperationEnded(const session::OperationOutcome& outcome);
  // Off line after a failure: the connect panel when it happened while connecting, so that
  // another port or address can be tried; the home view otherwise.
  void GoOfflineAfterFailure(bool whileConnecting);
  int AskLink(const std::string& key, const std::vector<std::string>& args, int style);
  void OnPollingWrite(const QString& entry);

  CAppSettings& settings_;
  MainWindowOptions options_;
  CglobalFile tables_;
  DeviceRecord record_;  // what the last connection read; its polling address seeds the next

  QWidget* central_;
  QVBoxLayout* top_;
  QHBoxLayout* row_;
  QVBoxLayout* left_;
  CColumnWidth* leftWidth_;
  QWidget* statusStrip_;
  QWidget* sensorSlot_;
  CPanel* sensorPanel_ = nullptr;
  QWidget* displayArea_;
  CFunctionKeys* functionKeys_;
  CConnectDevice* connectPanel_;
  CPollingAddr* pollingPanel_;
  CSetting* languagePanel_;
  CUploadDeviceInfo* upload_;
  CLookingForDeviceInfo* search_;
  QAction* about_;
  QAction* trafficAction_;
  QAction* jobAction_;
  CTrafficMonitor* trafficMonitor_;  // its own window; the link's trace goes to it too
  std::map<int, CPanel*> keyPanels_;
  std::map<int, std::function<void()>> keyHandlers_;
  std::vector<LeaveGuard> leaveGuards_;
  CPanel* editorPage_ = nullptr;  // the file editor page shown, if any
  std::function<void(session::Session*)> editorOpened_;
  CPanel* current_ = nullptr;
  QWidget* graph_ = nullptr;         // the graph in the live display's place
  QWidget* coveredGraph_ = nullptr;  // the graph under it
  CPanel* target_ = nullptr;

  std::unique_ptr<session::Connection> connection_;
  COperationRunner* linkRunner_;  // runs connection_
  COperationRunner* runner_;      // runs the window's own operations
  CLinkRelay* relay_ = nullptr;
  std::unique_ptr<GuiMessageSink> sink_;
  std::vector<session::LinkHold> holds_;  // SetHold's, innermost last
  std::string portName_;
  std::unique_ptr<session::Operation> operation_;
  std::function<void(const session::OperationOutcome&)> done_;

  bool busy_ = false;
  bool progressShown_ = false;
  bool waiting_ = false;
  bool panelBusy_ = false;
  bool closing_ = false;
  bool asking_ = false;  // a link question is on screen
  int waitGeneration_ = 0;
};

}  // namespace va5
