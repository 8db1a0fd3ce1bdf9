#include "gui/MainDlgDlg.h"

#include <QAbstractButton>
#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QApplication>
#include <QFontMetrics>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIcon>
#include <QKeyEvent>
#include <QMessageBox>
#include <QSpacerItem>
#include <QTimer>
#include <QVBoxLayout>
#include <utility>

#include "comm/RequestTypes.h"
#include "gui/AppSettings.h"
#include "gui/COMPortManager.h"
#include "gui/FunctionKeys.h"
#include "gui/LanguageFolders.h"
#include "gui/Localise.h"
#include "gui/LookingForDeviceInfo.h"
#include "gui/LoopGuard.h"
#include "gui/MessageBox.h"
#include "gui/OperationPanel.h"
#include "gui/OperationRunner.h"
#include "gui/Panel.h"
#include "gui/ScreenFit.h"
#include "gui/TrafficMonitor.h"
#include "gui/UploadDeviceInfo.h"
#include "gui/WorkerEvent.h"
#include "gui/panels/ConnectDevice.h"
#include "gui/panels/LanguageSetting.h"
#include "gui/panels/PollingAddr.h"
#include "lang/ControlIds.h"
#include "lang/MessageFormat.h"
#include "lang/PrivateException.h"
#include "lang/ResourceDatabase.h"
#include "session/Operations.h"
#include "session/Session.h"
#include "session/Setting.h"

// The resources of a static library are registered by hand, from the global namespace.
static void InitIconResource() { Q_INIT_RESOURCE(va5vivi); }

namespace va5 {

namespace fk = ids::function_keys;
using session::Connection;
using session::Operation;
using session::OperationOutcome;
using State = Connection::State;
using Goal = Connection::Goal;

// A widget of no height that asks for a width: it sets the width its column asks for.
class CColumnWidth : public QWidget {
 public:
  explicit CColumnWidth(QWidget* parent) : QWidget(parent) {
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    setFixedHeight(0);
  }
  void SetWidth(int width) {
    width_ = width;
    updateGeometry();
  }
  QSize sizeHint() const override { return {width_, 0}; }
  QSize minimumSizeHint() const override { return {0, 0}; }

 private:
  int width_ = 0;
};

namespace {

// Polling addresses 0 ... 15.
constexpr int kAddresses = MaxPollingAddress + 1;

// A grey frame that holds the place of a window another part of the program fills in.
QWidget* MakePlaceholder(QWidget* parent, QSize minimum) {
  auto* frame = new QFrame(parent);
  frame->setFrameShape(QFrame::StyledPanel);
  frame->setMinimumSize(minimum);
  return frame;
}

// The icon theme's "va5vivi" once the program is installed, else the icon built in.
QIcon ProgramIcon() {
  static const bool registered = (InitIconResource(), true);
  (void)registered;
  QIcon builtIn;
  builtIn.addFile(QStringLiteral(":/icons/va5vivi-48.png"));
  builtIn.addFile(QStringLiteral(":/icons/va5vivi-128.png"));
  return QIcon::fromTheme(QStringLiteral("va5vivi"), builtIn);
}

void Replace(QLayout* layout, QWidget*& slot, QWidget* widget, QWidget* parent) {
  if (widget == nullptr || widget == slot) return;
  widget->setParent(parent);
  delete layout->replaceWidget(slot, widget);  // the old slot's layout item is ours
  slot->deleteLater();
  slot = widget;
  widget->show();
}

}  // namespace

// Receives the worker's messages of one connection and hands them to the window while the
// connection is current. When the link is reset the relay is detached and its pending events
// are dropped, so a late message of an old worker never reaches the next connection.
class CLinkRelay : public QObject {
 public:
  explicit CLinkRelay(CMainDlgDlg* window) : QObject(window), window_(window) {}
  void Detach() { window_ = nullptr; }

 protected:
  void customEvent(QEvent* event) override {
    if (event->type() != WorkerEvent::Type() || window_ == nullptr) return;
    window_->OnWorkerMessage(static_cast<WorkerEvent*>(event)->Message());
  }

 private:
  CMainDlgDlg* window_;
};

CMainDlgDlg::CMainDlgDlg(CAppSettings& settings, MainWindowOptions options, QWidget* parent)
    : QDialog(parent), settings_(settings), options_(std::move(options)) {
  setWindowFlags(Qt::Window | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
  record_.SetStartValues();
  {
    bool ok = false;
    const int address = settings_.PollingAddr().toInt(&ok);
    record_.pollingAddress =
        static_cast<std::int16_t>(ok && address >= 0 && address < kAddresses ? address : 0);
  }

  central_ = new QWidget(this);
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  outer->addWidget(central_);

  top_ = new QVBoxLayout(central_);
  // Narrow margins: every pixel counts on a 1280x800 screen at 150 %.
  top_->setContentsMargins(2, 2, 2, 2);
  top_->setSpacing(3);
  statusStrip_ = MakePlaceholder(central_, QSize(200, 36));
  top_->addWidget(statusStrip_);
  row_ = new QHBoxLayout;
  row_->setSpacing(4);
  top_->addLayout(row_, 1);

  left_ = new QVBoxLayout;
  left_->setSpacing(0);
  // The column asks for the width of its widest panel, so that the live display beside it
  // keeps one width whichever panel is shown and whatever the panel holds.
  leftWidth_ = new CColumnWidth(central_);
  left_->addWidget(leftWidth_);
  sensorSlot_ = MakePlaceholder(central_, QSize(260, 320));
  left_->addWidget(sensorSlot_);
  row_->addLayout(left_);
  displayArea_ = MakePlaceholder(central_, QSize(360, 320));
  row_->addWidget(displayArea_, 1);
  functionKeys_ = new CFunctionKeys(central_);
  row_->addWidget(functionKeys_);

  const std::vector<std::string> folders = options_.platformFolders
                                               ? CCOMPortManager::PlatformWatchedFolders()
                                               : options_.watchedFolders;
  connectPanel_ = new CConnectDevice(settings_, options_.portSource, folders, central_);
  record_.pollingAddress = static_cast<std::int16_t>(connectPanel_->Address());
  AddFunctionPanel(fk::kConnectButton, connectPanel_);
  pollingPanel_ = new CPollingAddr(settings_, central_);
  AddFunctionPanel(fk::kPollingAddressButton, pollingPanel_);
  pollingPanel_->SetHoldCallback([this](bool on) { SetHold(on); });
  languagePanel_ = new CSetting(
      settings_, options_.languageFolders.empty() ? LanguageFolders() : options_.languageFolders,
      central_);
  AddFunctionPanel(fk::kLanguageButton, languagePanel_);
  languagePanel_->SetHoldCallback([this](bool on) { SetHold(on); });
  connect(languagePanel_, &CSetting::languageChanged, this, [this] {
    ReadyToLeave(Leaving::LanguageChange);
    ReloadLanguage(false);
  });

  linkRunner_ = new COperationRunner(this);
  runner_ = new COperationRunner(this);
  connect(linkRunner_, &COperationRunner::needsAnswer, this, [this] { AskLinkFailure(linkRunner_); });
  connect(linkRunner_, &COperationRunner::finished, this, &CMainDlgDlg::OnLinkEnded);
  connect(runner_, &COperationRunner::needsAnswer, this, [this] { AskLinkFailure(runner_); });
  connect(runner_, &COperationRunner::finished, this, &CMainDlgDlg::OnOperationEnded);

  // The progress windows lie over the display and stay enabled while the rest is not.
  upload_ = new CUploadDeviceInfo(this);
  search_ = new CLookingForDeviceInfo(this);

  about_ = new QAction(QStringLiteral("&About VA5VIVI..."), this);
  about_->setShortcut(QKeySequence::HelpContents);
  addAction(about_);
  setContextMenuPolicy(Qt::ActionsContextMenu);
  connect(about_, &QAction::triggered, this, &CMainDlgDlg::ShowAbout);
  trafficMonitor_ = new CTrafficMonitor(this);
  trafficAction_ = new QAction(QStringLiteral("&Traffic Monitor..."), this);
  trafficAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_T));
  addAction(trafficAction_);
  connect(trafficAction_, &QAction::triggered, this, [this] {
    trafficMonitor_->show();
    trafficMonitor_->raise();
    trafficMonitor_->activateWindow();
  });
  jobAction_ = new QAction(QStringLiteral("&Job Record..."), this);
  jobAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_J));
  addAction(jobAction_);

  connect(functionKeys_, &CFunctionKeys::keyPressed, this, &CMainDlgDlg::OnKey);
  functionKeys_->SetBusyTest([this] { return busy_; });
  connect(connectPanel_, &CConnectDevice::connectRequested, this, [this] {
    ResetLink();
    WaitThen(options_.timing.reconnectWait, [this] { Connect(); });
  });
  connect(connectPanel_, &CConnectDevice::disconnectRequested, this, [this] {
    if (!ReadyToLeave(Leaving::Disconnect)) return;
    ResetLink();
    ShowHome();
  });
  connect(connectPanel_, &CConnectDevice::searchRequested, this,
          [this] { Search(connectPanel_->Address()); });
  connect(pollingPanel_, &CPollingAddr::writeRequested, this, &CMainDlgDlg::OnPollingWrite);

  CaptureFontTemplate(font());
  ReloadLanguage(true);
  ShowHome();
  // The size the window would like, as far as the screen has room for it; it keeps that size
  // whatever view it shows.
  if (windowIcon().isNull()) setWindowIcon(ProgramIcon());
  resize(FittedSize(sizeHint().expandedTo(QSize(900, 560)), AvailableScreenArea(this),
                    FrameOf(this)));
  KeepOnScreen(this);
}

CMainDlgDlg::~CMainDlgDlg() { ResetLink(); }

QString CMainDlgDlg::Title() {
  return QStringLiteral("VA5VIVI Ver") + QStringLiteral(VA5VIVI_VERSION);
}

void CMainDlgDlg::ReloadLanguage(bool first) {
  try {
    TheResourceDatabase().Load(
        settings_.LanguageFile().toStdString(),
        options_.languageFolders.empty() ? LanguageFolders() : options_.languageFolders);
  } catch (const CPrivateException& error) {
    ReportException(this, error, kStyleOkError);
  }
  ApplyQtTranslations(TheResourceDatabase());
  LocaliseWindow(ids::main_window::kLayout, this);
  trafficMonitor_->ReloadLanguage();
  setWindowTitle(Title());
  const QString about = ToQString(TheResourceDatabase().GetGuiText(
      ids::main_window::kLayout, ids::main_window::kAboutMenuCommand));
  if (!about.isEmpty()) about_->setText(about);
  trafficAction_->setText(DisplayText("Traffic_Menu", "&Traffic Monitor..."));
  jobAction_->setText(DisplayText("Job_Menu", "&Job Record..."));
  if (first) return;
  if (current_ == nullptr) {
    ShowHome();
  } else {
    functionKeys_->Show(true);
    functionKeys_->DisableAll();
  }
  UpdateLeftColumnWidth();
  emit languageReloaded();
}

void CMainDlgDlg::SetStatusStrip(QWidget* strip) { Replace(top_, statusStrip_, strip, central_); }

void CMainDlgDlg::SetDisplayArea(QWidget* area) { Replace(row_, displayArea_, area, central_); }

void CMainDlgDlg::UpdateLeftColumnWidth() {
  int width = 0;
  std::vector<CPanel*> panels{sensorPanel_};
  for (const auto& [key, panel] : keyPanels_) panels.push_back(panel);
  for (CPanel* panel : panels) {
    if (panel == nullptr) continue;
    // Each in the language's captions, which the panel otherwise takes when it is shown.
    LocaliseWindow(panel->Layout(), panel);
    width = std::max(width, panel->sizeHint().width());
  }
  leftWidth_->SetWidth(width);
}

void CMainDlgDlg::SetSensorPanel(CPanel* panel) {
  QWidget* slot = sensorSlot_;
  Replace(left_, slot, panel, central_);
  sensorSlot_ = slot;
  sensorPanel_ = panel;
  if (auto* operations = qobject_cast<COperationPanel*>(panel)) AttachPanel(operations);
  if (current_ == nullptr) ShowHome();
  UpdateLeftColumnWidth();
}

void CMainDlgDlg::AddFunctionPanel(int keyId, CPanel* panel) {
  panel->setParent(central_);
  left_->addWidget(panel);
  panel->hide();
  keyPanels_[keyId] = panel;
  functionKeys_->SetAvailable(keyId, true);
  connect(panel, &CPanel::closeRequested, this, [this, panel] {
    if (current_ == panel) ShowHome();
  });
  connect(panel, &CPanel::graphShown, this, &CMainDlgDlg::ShowGraph);
  connect(panel, &CPanel::graphHidden, this, &CMainDlgDlg::HideGraph);
  if (auto* operations = qobject_cast<COperationPanel*>(panel)) AttachPanel(operations);
  UpdateLeftColumnWidth();
}

void CMainDlgDlg::AttachPanel(COperationPanel* panel) {
  // A panel works on the device once it is connected and read, and goes off line with it.
  connect(this, &CMainDlgDlg::deviceConnected, panel,
          [this, panel] { panel->SetSession(CurrentSession()); });
  connect(this, &CMainDlgDlg::sessionChanged, panel, [panel](session::Session* session) {
    if (session == nullptr) panel->SetSession(nullptr);
  });
  connect(panel, &COperationPanel::busyChanged, this, &CMainDlgDlg::SetPanelBusy);
  connect(panel, &COperationPanel::linkFailure, this, &CMainDlgDlg::AskLinkFailure);
  connect(panel, &COperationPanel::liveValuesChanged, this, &CMainDlgDlg::pollCompleted);
  connect(panel, &COperationPanel::linkLost, this, [this] { GoOfflineAfterFailure(false); });
}

void CMainDlgDlg::AddKeyHandler(int keyId, std::function<void()> handler) {
  keyHandlers_[keyId] = std::move(handler);
  functionKeys_->SetAvailable(keyId, true);
  if (current_ == nullptr && editorPage_ == nullptr) functionKeys_->Show(true);
}

bool CMainDlgDlg::ReadyToLeave(Leaving why) {
  // The file editor takes the link: a connected device is let go only on the technician's
  // word, asked before anything else (Enter alone answers No).
  if (why == Leaving::FileEditor && Connected() &&
      ShowUIMessage(this, "Confr_Editor_Disconnect", {}, kStyleYesNoQuestion | kStyleDefaultSecond,
                    [this](bool on) { SetHold(on); }) != kAnswerYes) {
    return false;
  }
  // Asked off line too: a job record kept from a link that was lost is still to be offered.
  for (const LeaveGuard& guard : leaveGuards_) {
    if (!guard(why) && why != Leaving::LanguageChange) return false;
  }
  return true;
}

void CMainDlgDlg::OnKey(int keyId) {
  if (keyId == fk::kExitButton) {
    close();
    return;
  }
  if (auto handler = keyHandlers_.find(keyId); handler != keyHandlers_.end()) {
    handler->second();
    return;
  }
  auto it = keyPanels_.find(keyId);
  if (it == keyPanels_.end()) return;
  ShowPanel(it->second);
}

void CMainDlgDlg::ShowPanel(CPanel* panel) {
  if (panel == nullptr) return;
  if (current_ != nullptr && current_ != panel) current_->Show(false);
  if (sensorPanel_ != nullptr) {
    sensorPanel_->Show(false);
  } else {
    sensorSlot_->hide();
  }
  functionKeys_->DisableAll();
  if (panel == pollingPanel_) pollingPanel_->SetRecord(Record());
  current_ = panel;
  SetTarget(panel);
  panel->Show(true);
}

void CMainDlgDlg::ShowGraph(QWidget* graph) {
  if (graph == nullptr || graph == graph_) return;
  // What the graph replaces goes first: a child shown beside them would lay the row out with
  // all of them at once and widen the window for good.
  displayArea_->hide();
  functionKeys_->hide();
  if (graph_ != nullptr) {
    coveredGraph_ = graph_;
    graph_->hide();
  }
  if (graph->parentWidget() != central_ || row_->indexOf(graph) < 0) {
    graph->setParent(central_);
    row_->insertWidget(row_->indexOf(displayArea_) + 1, graph, 1);
  }
  graph_ = graph;
  graph->show();
}

void CMainDlgDlg::HideGraph(QWidget* graph) {
  if (graph == nullptr) return;
  graph->hide();
  // Out of the row until it is shown again: its owner may show it before it asks for the
  // place (a table graph does), and it must not take room beside the live display meanwhile.
  row_->removeWidget(graph);
  if (graph == coveredGraph_) coveredGraph_ = nullptr;
  if (graph != graph_) return;
  graph_ = std::exchange(coveredGraph_, nullptr);
  if (graph_ != nullptr) {
    graph_->show();
    return;
  }
  displayArea_->show();
  functionKeys_->Show(true);
  if (current_ != nullptr) functionKeys_->DisableAll();
}

void CMainDlgDlg::ShowFileEditor(CPanel* page) {
  if (page == nullptr) return;
  ResetLink();
  while (graph_ != nullptr) HideGraph(graph_);
  if (current_ != nullptr) current_->Show(false);
  current_ = nullptr;
  if (editorPage_ != nullptr && editorPage_ != page) editorPage_->hide();
  if (page->parentWidget() != central_ || top_->indexOf(page) < 0) {
    page->setParent(central_);
    top_->addWidget(page, 1);
  }
  statusStrip_->hide();
  if (sensorPanel_ != nullptr) {
    sensorPanel_->Show(false);
  } else {
    sensorSlot_->hide();
  }
  displayArea_->hide();
  functionKeys_->hide();
  editorPage_ = page;
  SetTarget(page);
  page->Show(true);
}

void CMainDlgDlg::ShowHome() {
  if (editorPage_ != nullptr) {
    editorPage_->hide();
    editorPage_ = nullptr;
    statusStrip_->show();
    setWindowTitle(Title());  // the editor's file no longer
  }
  while (graph_ != nullptr) HideGraph(graph_);
  if (current_ != nullptr) current_->Show(false);
  current_ = nullptr;
  SetTarget(sensorPanel_);
  if (sensorPanel_ != nullptr) {
    sensorPanel_->Show(true);
  } else {
    sensorSlot_->show();
  }
  displayArea_->show();
  UpdateDeviceKeys();
  functionKeys_->Show(true);
}

void CMainDlgDlg::FocusHome() {
  for (QWidget* place : {static_cast<QWidget*>(sensorPanel_), static_cast<QWidget*>(functionKeys_)}) {
    if (place == nullptr) continue;
    for (QAbstractButton* button : place->findChildren<QAbstractButton*>()) {
      if (button->isEnabled() && button->isVisible() && button->focusPolicy() != Qt::NoFocus) {
        button->setFocus(Qt::OtherFocusReason);
        return;
      }
    }
  }
}

void CMainDlgDlg::SetTarget(CPanel* panel) {
  target_ = panel;
  if (connection_ != nullptr) {
    connection_->GetSession().SetMessageTarget(
        sink_.get(), panel != nullptr ? panel->ReplyMessage() : ReplySensorInfo);
  }
}

void CMainDlgDlg::UpdateDeviceKeys() {
  const bool connected = Connected();
  functionKeys_->SetDevice(connected, session::IsConfigurableModel(Record()));
  if (current_ == nullptr && editorPage_ == nullptr) functionKeys_->Show(true);
  connectPanel_->SetConnected(connected);
}

bool CMainDlgDlg::InputEnabled() const { return central_->isEnabled(); }

void CMainDlgDlg::UpdateEnabled() {
  // While the port opens, the device identifies itself and its upload runs, input waits.
  const State state = LinkState();
  const bool linking =
      state == State::Opening || state == State::Identifying || state == State::Uploading;
  central_->setEnabled(operation_ == nullptr && !progressShown_ && !linking && !waiting_ &&
                       !panelBusy_);
}

void CMainDlgDlg::SetPanelBusy(bool busy) {
  panelBusy_ = busy;
  UpdateEnabled();
}

void CMainDlgDlg::SetHold(bool on) {
  if (connection_ == nullptr) return;
  if (on) {
    holds_.push_back(connection_->GetSession().Hold());
  } else if (!holds_.empty()) {
    holds_.pop_back();
  }
}

DeviceRecord CMainDlgDlg::Record() const {
  return connection_ != nullptr ? connection_->GetSession().Record() : record_;
}

QRect CMainDlgDlg::DisplayRect() const {
  return QRect(displayArea_->mapTo(this, QPoint(0, 0)), displayArea_->size());
}

void CMainDlgDlg::ShowProgress(const QString& text, int kind) {
  progressShown_ = true;
  UpdateEnabled();
  if (kind == kSearchProgress) {
    search_->Show(true, text, Record().pollingAddress, DisplayRect());
  } else {
    upload_->Show(true, text, DisplayRect());
  }
}

void CMainDlgDlg::HideProgress(int kind) {
  progressShown_ = false;
  UpdateEnabled();
  if (kind == kSearchProgress) {
    search_->Show(false);
  } else {
    upload_->Show(false);
  }
}

void CMainDlgDlg::WaitThen(Millis wait, std::function<void()> then) {
  waiting_ = true;
  UpdateEnabled();
  const int generation = ++waitGeneration_;
  QTimer::singleShot(wait, this, [this, generation, then = std::move(then)] {
    if (generation != waitGeneration_) return;
    waiting_ = false;
    UpdateEnabled();
    then();
  });
}

// ---- the link ----

bool CMainDlgDlg::Connected() const {
  return connection_ != nullptr && connection_->GetGoal() == Goal::Monitor &&
         connection_->Connected();
}

bool CMainDlgDlg::Searching() const {
  return connection_ != nullptr && connection_->GetGoal() == Goal::Search;
}

State CMainDlgDlg::LinkState() const {
  return connection_ != nullptr ? connection_->GetState() : State::Offline;
}

session::Session* CMainDlgDlg::CurrentSession() const {
  return connection_ != nullptr ? &connection_->GetSession() : nullptr;
}

QString CMainDlgDlg::LinkStatusText() const {
  if (!Connected()) return DisplayText("Link_Offline", "Off line");
  const DeviceRecord record = Record();
  return DisplayText("Link_Online", "%1, polling address %2, tag %3",
                     {portName_, std::to_string(record.pollingAddress),
                      ToQString(record.tag).trimmed().toStdString()});
}

void CMainDlgDlg::Connect() { StartLink(connectPanel_->Address(), Goal::Monitor); }

void CMainDlgDlg::Search(int fromAddress) {
  ResetLink();
  record_.pollingAddress =
      static_cast<std::int16_t>(((fromAddress % kAddresses) + kAddresses) % kAddresses);
  ShowProgress(ToQString(GetProgressMsg("LookingFor_Hart_Dev")), kSearchProgress);
  WaitThen(options_.timing.reconnectWait,
           [this] { StartLink(record_.pollingAddress, Goal::Search); });
}

void CMainDlgDlg::OpenEditorLink(std::function<void(session::Session*)> opened) {
  StartLink(connectPanel_->Address(), Goal::Open);
  editorOpened_ = std::move(opened);
}

void CMainDlgDlg::StartLink(int address, Goal goal) {
  const bool search = goal == Goal::Search;
  ResetLink();
  if (search) ShowProgress(ToQString(GetProgressMsg("LookingFor_Hart_Dev")), kSearchProgress);
  const PortRecord port = connectPanel_->TakeSelectedPort();
  portName_ = port.portName;
  session::SessionOptions sessionOptions;
  sessionOptions.port = port.openName.empty() ? port.portName : port.openName;
  sessionOptions.address = address;
  // The link's trace goes to the sink the window was given and to the traffic monitor.
  sessionOptions.trace = [trace = options_.trace,
                          monitor = trafficMonitor_->Sink()](const TraceEvent& event) {
    if (trace) trace(event);
    monitor(event);
  };
  record_.pollingAddress = static_cast<std::int16_t>(address);
  connection_ = std::make_unique<Connection>(sessionOptions, goal, options_.timing);
  // The record lives on between connections: the identity seeds the next one.
  connection_->GetSession().WithRecord([this](DeviceRecord& r) { r = record_; });
  relay_ = new CLinkRelay(this);
  sink_ = std::make_unique<GuiMessageSink>(relay_);
  SetTarget(target_);
  connection_->OnStateChanged([this, previous = State::Offline](State state) mutable {
    OnLinkState(state, std::exchange(previous, state));
  });
  connection_->OnPoll([this](HartResult result) { OnPoll(result); });
  emit sessionChanged(&connection_->GetSession());
  linkRunner_->Run(*connection_);
}

void CMainDlgDlg::OnLinkState(State state, State previous) {
  UpdateEnabled();
  if (state == State::Uploading && previous == State::Identifying) {
    ShowProgress(ToQString(GetProgressMsg("Upload_Dev_Info")), kUploadProgress);
  } else if (state == State::Monitoring && previous == State::Uploading) {
    OnConnected();
  }
  emit linkStatusChanged();
}

void CMainDlgDlg::OnConnected() {
  HideProgress(kUploadProgress);
  busy_ = false;
  UpdateDeviceKeys();
  emit deviceConnected();
  ShowHome();
  // The connect panel had the focus; without this it would fall into a scale box of the
  // display, where a key typed by habit changes the gauge. Once the window takes input again.
  QTimer::singleShot(0, this, [this] { FocusHome(); });
  // The device refused a step of the upload: what was read stays, the polls run, and the
  // technician is told.
  if (const auto& refusal = connection_->UploadRefusal()) {
    const UIMessageText message = MessageOfReason(*refusal);
    const session::LinkHold hold = connection_->GetSession().Hold();
    ShowUIMessage(this, message.key, message.args);
  }
}

void CMainDlgDlg::OnLinkEnded(const OperationOutcome& outcome) {
  switch (connection_->GetGoal()) {
    case Goal::Open: {
      auto opened = std::exchange(editorOpened_, nullptr);
      if (connection_->GetState() == State::Open) {
        if (opened) opened(&connection_->GetSession());
        return;
      }
      ResetLink();  // the port did not open and the technician gave up
      if (opened) opened(nullptr);
      return;
    }
    case Goal::Search:
      OnSearchEnded();
      return;
    default:
      break;
  }
  // Off line. A link the technician gave up needs no second word; a device that refused to
  // identify itself is named with the reason, once.
  const bool whileConnecting = connection_->FailedWhileConnecting();
  const bool told = connection_->GivenUp() || !outcome.reason;
  GoOfflineAfterFailure(whileConnecting);
  if (!told) {
    // A refusal says where, then which command and code, in the window's language.
    const UIMessageText why = MessageOfReason(*outcome.reason);
    const UIMessageText message =
        outcome.reason->kind == session::ReasonKind::DeviceRefused
            ? UIMessageText{"Err_Identify_Refused",
                            {portName_, std::to_string(record_.pollingAddress),
                             FormatMessageText(GetUIMsg(why.key), why.args)}}
            : why;
    ShowUIMessage(this, message.key, message.args);
  }
}

void CMainDlgDlg::GoOfflineAfterFailure(bool whileConnecting) {
  ResetLink();
  // A graph on screen stays: the trend run recorded so far can still be looked at and saved.
  if (!whileConnecting && graph_ != nullptr && current_ == nullptr) return;
  if (whileConnecting && editorPage_ == nullptr) {
    ShowHome();
    ShowPanel(connectPanel_);
  } else if (editorPage_ == nullptr) {
    ShowHome();
  }
}

void CMainDlgDlg::OnSearchEnded() {
  HideProgress(kSearchProgress);
  const std::optional<int> found = connection_->FoundAddress();
  ResetLink();
  if (!found) return;  // the technician stopped the search
  const int address = *found;
  // Whatever the answer, the connect panel keeps the address found; the question says so,
  // and where a further search would go on.
  const int answer = AskLink("Confr_Search_Address",
                             {std::to_string(address), std::to_string((address + 1) % kAddresses)},
                             kStyleYesNoCancelInformation);
  connectPanel_->SetAddress(address);
  if (answer == kAnswerYes) {
    WaitThen(options_.timing.reconnectWait, [this] { Connect(); });
  } else if (answer == kAnswerNo) {
    Search((address + 1) % kAddresses);
  }
}

void CMainDlgDlg::ResetLink() {
  const bool hadLink = connection_ != nullptr;
  linkRunner_->Abandon();
  runner_->Abandon();
  holds_.clear();
  if (connection_ != nullptr) {
    connection_->Close();  // the worker stops (its end goes to the relay, dropped below)
    record_ = connection_->GetSession().Record();
  }
  if (relay_ != nullptr) {
    relay_->Detach();
    QCoreApplication::removePostedEvents(relay_);
    relay_->deleteLater();
    relay_ = nullptr;
  }
  operation_.reset();
  done_ = nullptr;
  editorOpened_ = nullptr;
  connection_.reset();
  sink_.reset();
  busy_ = false;
  progressShown_ = false;
  upload_->Show(false);
  search_->Show(false);
  UpdateEnabled();
  UpdateDeviceKeys();
  if (hadLink) {
    emit sessionChanged(nullptr);
    emit linkStatusChanged();
  }
}

bool CMainDlgDlg::RunOperation(session::RequestChain chain, bool monitoringAfter,
                               std::function<void(const OperationOutcome&)> done) {
  if (connection_ == nullptr || operation_ != nullptr) return false;
  operation_ =
      std::make_unique<Operation>(connection_->GetSession(), std::move(chain), monitoringAfter);
  done_ = std::move(done);
  UpdateEnabled();
  runner_->Run(*operation_);
  return true;
}

void CMainDlgDlg::OnOperationEnded(const OperationOutcome& outcome) {
  const std::unique_ptr<Operation> finished = std::move(operation_);
  auto done = std::exchange(done_, nullptr);
  if (connection_ != nullptr) connection_->GetSession().BeginRequest();
  UpdateEnabled();
  if (done) done(outcome);
}

int CMainDlgDlg::AskLink(const std::string& key, const std::vector<std::string>& args, int style) {
  return ShowUIMessage(this, key, args, style, {}, true);
}

void CMainDlgDlg::AskLinkFailure(COperationRunner* runner) {
  if (runner == nullptr || !runner->Asking()) return;
  if (asking_) {
    // One question at a time: this one waits until the open one is answered.
    QTimer::singleShot(100, runner, [this, runner] { AskLinkFailure(runner); });
    return;
  }
  asking_ = true;
  const bool nothingFound = runner == linkRunner_ && connection_ != nullptr &&
                            connection_->OpenQuestion() == Connection::Question::NoDeviceFound;
  const int answer = nothingFound
                         ? AskLink("Err_Not_Device", {portName_}, kStyleRetryCancelInformation)
                         : AskLink("Err_COM", {portName_, std::to_string(Record().pollingAddress)},
                                   kStyleRetryCancelInformation);
  asking_ = false;
  runner->Answer(answer == kAnswerRetry);
}

void CMainDlgDlg::OnPoll(HartResult result) {
  if (CurrentSession()->Holding() || progressShown_) return;
  busy_ = false;
  if (result == ResultOk) {
    emit pollCompleted();
  } else {
    emit pollRefused();
  }
}

void CMainDlgDlg::OnWorkerMessage(const WorkerMessage& message) {
  if (connection_ == nullptr) return;
  if (message.kind == MessageFailure) emit linkFailed();
  if (target_ != nullptr && message.message == target_->ReplyMessage() &&
      target_->OnWorkerMessage(message)) {
    return;
  }
  if (message.kind == MessageProgress) {
    if (Searching()) {
      search_->SetProgress(connection_->GetSession().AddressesTried(),
                           connection_->GetSession().Record().pollingAddress);
    } else {
      upload_->SetValue(message.percent);
    }
    return;
  }
  if (runner_->OnMessage(message)) return;
  // The connection's own: the open, the identification and upload, a search, the polls and
  // their failures, the worker's end.
  linkRunner_->OnMessage(message);
}

void CMainDlgDlg::OnPollingWrite(const QString& entry) {
  const session::SettingCheck check =
      session::CheckSetting(tables_, session::Setting::PollingAddress, {entry.toStdString()});
  if (check.reason) {
    ShowUIMessage(this, "Err_Range_Input");
    return;
  }
  const DeviceRecord device = Record();
  if (session::CheckAgainstDevice(tables_, check.entry, device)) {
    ShowUIMessage(this, "Err_Device_Not_Configurable", {device.modelName});
    return;
  }
  // An address other than 0 parks the output at its multidrop current.
  if (!ConfirmLoopChange(this, CurrentSession())) return;
  RunOperation(session::SettingChain(tables_, check.entry, device), true,
               [this](const OperationOutcome& outcome) {
                 if (outcome.Succeeded()) {
                   const DeviceRecord record = Record();
                   pollingPanel_->SetRecord(record);
                   pollingPanel_->ShowAddress(record.pollingAddress);
                   connectPanel_->SetAddress(record.pollingAddress);
                 } else if (outcome.result != ResultReplyRejected) {
                   GoOfflineAfterFailure(false);
                 }
               });
}

// ---- the window ----

void CMainDlgDlg::ShowAbout() {
  QMessageBox box(QMessageBox::Information, windowTitle(),
                  QStringLiteral("VA5VIVI Version ") + QStringLiteral(VA5VIVI_VERSION),
                  QMessageBox::Ok, this);
  const QIcon icon = windowIcon().isNull() ? ProgramIcon() : windowIcon();
  box.setIconPixmap(icon.pixmap(48, 48));
  // The box is as wide as its title with room for the title bar's buttons, so the title
  // reads whole.
  if (auto* grid = qobject_cast<QGridLayout*>(box.layout())) {
    const int title = QFontMetrics(QApplication::font("QMdiSubWindowTitleBar"))
                          .horizontalAdvance(box.windowTitle());
    grid->addItem(new QSpacerItem(title + 120, 0, QSizePolicy::Minimum, QSizePolicy::Minimum),
                  grid->rowCount(), 0, 1, grid->columnCount());
  }
  box.exec();
}

void CMainDlgDlg::closeEvent(QCloseEvent* event) {
  if (closing_) {
    event->accept();
    return;
  }
  MessageRequest request;
  request.owner = this;
  request.caption = windowTitle();
  request.text = ToQString(GetUIMsg("Apllication_Close"));
  request.style = kStyleYesNoQuestion;
  // The poll pauses behind the question and goes on where it was after No.
  session::LinkHold hold = connection_ != nullptr ? connection_->GetSession().Hold()
                                                  : session::LinkHold();
  const int answer = ShowMessageRequest(request);
  if (answer != kAnswerYes) {
    event->ignore();
    return;
  }
  hold.Release();  // before the link and its worker go
  if (!ReadyToLeave(Leaving::Exit)) {
    event->ignore();
    return;
  }
  closing_ = true;
  hide();
  ResetLink();  // stopping the worker drops the hold
  done(QDialog::Accepted);
  event->accept();
}

void CMainDlgDlg::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Escape:
    case Qt::Key_Enter:
    case Qt::Key_Return:
      event->accept();  // no default button, no cancel: the window closes only when asked
      return;
    default:
      QDialog::keyPressEvent(event);
  }
}

void CMainDlgDlg::reject() {}

}  // namespace va5
