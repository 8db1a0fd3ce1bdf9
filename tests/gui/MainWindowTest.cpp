// The main window against the simulated transmitter on a pseudo-terminal: connect, upload and
// monitoring, disconnect, the device search, the failure questions and the close question.
// Every flow checks what the device received, from the link's trace of the frames sent.
#include "gui/MainDlgDlg.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cmath>
#include <deque>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "comm/RequestTypes.h"
#include "gui/AppSettings.h"
#include "gui/BusyFilter.h"
#include "gui/DisplayLookingFor.h"
#include "gui/DisplayUpload.h"
#include "gui/FunctionKeys.h"
#include "gui/LookingForDeviceInfo.h"
#include "gui/MainDlgApp.h"
#include "gui/UploadDeviceInfo.h"
#include "gui/display/DisplayArea.h"
#include "gui/display/Temperature.h"
#include "gui/graph/LineGraph.h"
#include "gui/graph/TrendGraph.h"
#include "gui/ValidateNumber.h"
#include "gui/WorkerEvent.h"
#include "gui/panels/ConnectDevice.h"
#include "gui/panels/PollingAddr.h"
#include "lang/ControlIds.h"
#include "lang/ResourceDatabase.h"
#include "session/Session.h"
#include "sim/SimulatedTransmitter.h"
#include "tests/gui/GuiTestSupport.h"
#include "tests/gui/PanelTestSupport.h"

namespace va5 {
namespace {

namespace fk = ids::function_keys;
namespace cp = ids::connect_panel;

using test::FrameLog;
using test::Questions;

const QString kErrCom = QStringLiteral("Communication error on");
const QString kNotDevice = QStringLiteral("No HART device was found");
const QString kFound = QStringLiteral("A HART device answered");
const QString kClose = QStringLiteral("Do you want to close");

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(sim_.Start());
    StartWindow(sim_.SlavePath());
  }
  void TearDown() override {
    window_.reset();
    TheResourceDatabase().InitEmpty();
  }

  void StartWindow(const std::string& openName, const char* language = "English.lng") {
    settings_ = std::make_unique<CAppSettings>(QLocale(QLocale::English));
    settings_->SetLanguageFile(QString::fromUtf8(language));
    settings_->SetComPort(QStringLiteral("SIM9"));
    settings_->SetPollingAddr(QStringLiteral("0"));
    settings_->Save();
    MainWindowOptions options;
    options.timing = Timing{}.Scaled(0.1);
    options.portSource = [openName] {
      return std::vector<PortRecord>{{"/dev/ttyNONE0", "ttyNONE0", "Serial port (ttyNONE0)"},
                                     {openName, "SIM9", "Simulated transmitter (SIM9)"}};
    };
    options.platformFolders = false;
    options.languageFolders = {VA5VIVI_RESOURCES_DIR};
    options.trace = log_.Sink();
    window_ = std::make_unique<CMainDlgDlg>(*settings_, options);
    AssembleMainWindow(*window_);  // as the application has it
    window_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
    ASSERT_TRUE(QTest::qWaitFor([&] { return Panel()->PortList()->count() == 2; }, 5000));
  }

  CConnectDevice* Panel() const { return window_->ConnectPanel(); }
  QPushButton* Key(int id) const { return window_->FunctionKeys()->Key(id); }

  // Monitoring runs: a poll has reached the window and the window takes input again.
  bool WaitMonitoring(int timeoutMs = 10000) {
    QSignalSpy polls(window_.get(), &CMainDlgDlg::pollCompleted);
    return QTest::qWaitFor([&] { return polls.count() > 0 && window_->InputEnabled(); }, timeoutMs);
  }

  // Opens the connect panel and presses "Connect Device", both from the keyboard.
  void ConnectByKeyboard() {
    window_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get()));
    Key(fk::kConnectButton)->setFocus();
    QTest::keyClick(Key(fk::kConnectButton), Qt::Key_Space);
    ASSERT_EQ(window_->CurrentPanel(), Panel());
    ASSERT_TRUE(Panel()->Button(cp::kCloseButton)->hasFocus());
    // A function panel is open: every key but Exit is off.
    for (int id : CFunctionKeys::KeyIds()) EXPECT_EQ(Key(id)->isEnabled(), id == fk::kExitButton);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);  // the port list
    ASSERT_EQ(QApplication::focusWidget(), Panel()->PortList());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);  // "Connect Device"
    ASSERT_EQ(QApplication::focusWidget(), Panel()->Button(cp::kConnectButton));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
  }

  void Connect() {
    Key(fk::kConnectButton)->click();
    Panel()->Button(cp::kConnectButton)->click();
    ASSERT_TRUE(WaitMonitoring());
    ASSERT_TRUE(window_->Connected());
  }

  // Sends nothing for a while after the link was stopped.
  bool StaysQuiet() {
    const int before = sim_.RequestCount();
    QTest::qWait(150);
    return sim_.RequestCount() == before;
  }

  sim::SimulatedTransmitter sim_;
  FrameLog log_;
  std::unique_ptr<CAppSettings> settings_;
  std::unique_ptr<CMainDlgDlg> window_;
};

TEST_F(MainWindowTest, ConnectUploadsWithProgressThenMonitors) {
  Questions questions;
  EXPECT_EQ(window_->windowTitle(), QStringLiteral("VA5VIVI Ver") + VA5VIVI_VERSION);
  // The stored port is preselected.
  EXPECT_EQ(Panel()->PortList()->currentText(), QStringLiteral("Simulated transmitter (SIM9)"));
  // Off line only the keys without a device work (and only those whose windows exist).
  for (int id : CFunctionKeys::KeyIds()) {
    const bool expected = id == fk::kConnectButton || id == fk::kFileButton ||
                          id == fk::kLanguageButton || id == fk::kExitButton;
    EXPECT_EQ(Key(id)->isEnabled(), expected) << id;
  }

  QStringList shown;
  bool enabledDuringUpload = true;
  QObject::connect(window_->UploadProgress(), &CUploadDeviceInfo::valueShown,
                   [&](const QString& percent) {
                     shown << percent;
                     enabledDuringUpload = enabledDuringUpload && window_->InputEnabled();
                   });
  ConnectByKeyboard();
  ASSERT_TRUE(WaitMonitoring());

  EXPECT_EQ(shown, (QStringList{"0.00", "10.00", "20.00", "30.00", "40.00", "50.00", "60.00",
                                "70.00", "80.00", "90.00", "100.00"}));
  EXPECT_FALSE(enabledDuringUpload);
  EXPECT_FALSE(window_->UploadProgress()->isVisible());
  EXPECT_EQ(window_->CurrentPanel(), nullptr);  // home again
  EXPECT_TRUE(questions.Seen().empty());
  // The focus rests on a button of the sensor panel, not in a scale box of the display.
  QCoreApplication::processEvents();
  auto* focused = qobject_cast<QAbstractButton*>(window_->focusWidget());
  ASSERT_NE(focused, nullptr);
  EXPECT_EQ(focused->accessibleName(), QStringLiteral("Sensor Type"));

  // Identify at address 0, the upload list, then polls (3, 2) on the long address.
  const std::vector<int> commands = log_.Commands();
  const std::vector<int> connect = {0, 0, 130, 14, 15, 13, 132, 12, 16, 134, 3};
  ASSERT_GE(commands.size(), connect.size() + 2);
  EXPECT_EQ(std::vector<int>(commands.begin(), commands.begin() + connect.size()), connect);
  EXPECT_EQ(commands[connect.size()], 3);
  EXPECT_EQ(commands[connect.size() + 1], 2);
  EXPECT_EQ(log_.IdentifyAddresses(), std::vector<int>({0, 0}));
  EXPECT_EQ(window_->Record().modelName, "TQ5R");
  EXPECT_EQ(settings_->ComPort(), QStringLiteral("SIM9"));

  // On line with a TQ5R: the polling address key joins; "Connect Device" is for off line.
  EXPECT_TRUE(Key(fk::kPollingAddressButton)->isEnabled());
  EXPECT_TRUE(Key(fk::kConnectButton)->isEnabled());
  EXPECT_TRUE(Key(fk::kDiagnosticsButton)->isEnabled());
  EXPECT_TRUE(Key(fk::kCustomTcButton)->isEnabled());
  EXPECT_FALSE(Panel()->Button(cp::kConnectButton)->isEnabled());
  EXPECT_FALSE(Panel()->Button(cp::kSearchButton)->isEnabled());
}

TEST_F(MainWindowTest, DisconnectStopsTheLinkAndTheKeysFollow) {
  Connect();
  Key(fk::kConnectButton)->click();
  Panel()->Button(cp::kDisconnectButton)->click();
  EXPECT_FALSE(window_->Connected());
  EXPECT_EQ(window_->CurrentSession(), nullptr);
  EXPECT_EQ(window_->CurrentPanel(), nullptr);
  EXPECT_TRUE(StaysQuiet());
  EXPECT_FALSE(Key(fk::kPollingAddressButton)->isEnabled());
  EXPECT_TRUE(Panel()->Button(cp::kConnectButton)->isEnabled());
  // What was read stays.
  EXPECT_EQ(window_->Record().modelName, "TQ5R");
}

TEST_F(MainWindowTest, SearchFromThirteenFindsTheDeviceAtFourAndNoSearchesOn) {
  sim_.Modify([](sim::DeviceState& s) { s.pollingAddress = 4; });
  Panel()->SetAddress(13);
  Questions questions;
  questions.Answer(kFound, {kAnswerNo, kAnswerYes});
  Key(fk::kConnectButton)->click();
  Panel()->Button(cp::kSearchButton)->click();
  EXPECT_TRUE(window_->SearchProgress()->isVisible());
  EXPECT_FALSE(window_->InputEnabled());
  ASSERT_TRUE(WaitMonitoring(20000));

  const auto asked = questions.Starting(kFound);
  ASSERT_EQ(asked.size(), 2u);
  for (const MessageRequest& r : asked)
    EXPECT_TRUE(r.text.contains("address 4.")) << r.text.toStdString();
  EXPECT_TRUE(questions.Starting(kNotDevice).empty());

  // 13, 14, 15, 0 ... 4 found; No: 5 ... 15, 0 ... 3, 4 found again; Yes: connect to 4.
  std::vector<int> expected = {13, 14, 15, 0, 1, 2, 3, 4};
  for (int a = 5; a < 16; ++a) expected.push_back(a);
  for (int a = 0; a <= 4; ++a) expected.push_back(a);
  expected.insert(expected.end(), {4, 4});  // identify, then the upload's command 0
  EXPECT_EQ(log_.IdentifyAddresses(), expected);
  EXPECT_GE(log_.Count(130), 1);  // the upload ran
  EXPECT_TRUE(window_->Connected());
  EXPECT_EQ(settings_->PollingAddr(), QStringLiteral("4"));
  EXPECT_EQ(Panel()->AddressLabel()->text(), QStringLiteral("4"));
  EXPECT_FALSE(window_->SearchProgress()->isVisible());
}

TEST_F(MainWindowTest, SearchWithoutADeviceTriesEachAddressOnceThenSaysSo) {
  sim_.InjectFault({.kind = sim::Fault::Kind::Silence});
  Panel()->SetAddress(13);
  Questions questions;
  questions.Answer(kNotDevice, {kAnswerCancel});
  Key(fk::kConnectButton)->click();
  Panel()->Button(cp::kSearchButton)->click();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !questions.Starting(kNotDevice).empty(); }, 20000));
  QTest::qWait(20);

  const auto asked = questions.Starting(kNotDevice);
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_TRUE(asked[0].text.contains("SIM9"));
  std::vector<int> expected = {13, 14, 15};
  for (int a = 0; a <= 12; ++a) expected.push_back(a);
  EXPECT_EQ(log_.IdentifyAddresses(), expected);
  EXPECT_EQ(log_.Commands().size(), 16u);  // nothing but the sixteen identify frames
  EXPECT_TRUE(questions.Starting(kErrCom).empty());
  EXPECT_FALSE(window_->SearchProgress()->isVisible());
  EXPECT_TRUE(window_->InputEnabled());
  EXPECT_FALSE(window_->Connected());
  EXPECT_EQ(window_->CurrentSession(), nullptr);
  EXPECT_TRUE(StaysQuiet());
}

TEST_F(MainWindowTest, AddressWriteRetriesOnceSilentlyThenAsksAndRetries) {
  Connect();
  Key(fk::kPollingAddressButton)->click();
  ASSERT_EQ(window_->CurrentPanel(), window_->PollingPanel());
  EXPECT_TRUE(window_->PollingPanel()->Button(ids::polling_address::kWriteButton)->isEnabled());
  EXPECT_EQ(window_->PollingPanel()->PreambleLabel()->text(), QStringLiteral("5"));

  Questions questions;
  questions.Answer(kErrCom, {kAnswerRetry});
  questions.Answer(test::UIText("Confr_Loop_Change"), {kAnswerYes});
  sim_.InjectFault({.kind = sim::Fault::Kind::Silence, .count = 8, .command = 6});
  log_.Clear();
  QTimer::singleShot(0, [] {
    auto* dialog = qobject_cast<CValidateNumber*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    dialog->Edit()->setText(QStringLiteral("7"));
    dialog->OkButton()->click();
  });
  window_->PollingPanel()->Button(ids::polling_address::kWriteButton)->click();
  ASSERT_TRUE(QTest::qWaitFor([&] { return sim_.State().pollingAddress == 7; }, 10000));
  ASSERT_TRUE(QTest::qWaitFor([&] { return window_->InputEnabled(); }, 5000));

  // Two silent transactions of four frames, the first retried without a question, the
  // second asked once; the retry gets through.
  EXPECT_EQ(questions.Starting(kErrCom).size(), 1u);
  EXPECT_EQ(log_.Count(6), 4 + 4 + 1);
  EXPECT_EQ(window_->PollingPanel()->AddressLabel()->text(), QStringLiteral("7"));
  EXPECT_EQ(settings_->PollingAddr(), QStringLiteral("7"));
  EXPECT_TRUE(window_->Connected());
}

TEST_F(MainWindowTest, AChainKeepsTheWindowDisabledThroughItsPauseWhilePollsGoOn) {
  Connect();
  log_.Clear();
  bool done = false;
  int polls = 0;
  int pollsWhileEnabled = 0;
  QObject::connect(window_.get(), &CMainDlgDlg::pollCompleted, [&] {
    if (done) return;
    ++polls;
    pollsWhileEnabled += window_->InputEnabled() ? 1 : 0;
  });
  session::OperationOutcome outcome;
  session::RequestChain chain{
      "pause",
      {},
      {session::ChainStep(RequestReadSensorInfo, {}, &Timing::leaveFixedWait),
       RequestReadSensorInfo},
      {}};
  ASSERT_TRUE(window_->RunOperation(chain, true, [&](const session::OperationOutcome& o) {
    outcome = o;
    done = true;
  }));
  EXPECT_FALSE(window_->InputEnabled());
  // One chain at a time.
  EXPECT_FALSE(window_->RunOperation(chain, true, [](const session::OperationOutcome&) {}));
  ASSERT_TRUE(QTest::qWaitFor([&] { return done; }, 5000));
  EXPECT_TRUE(outcome.Succeeded());
  EXPECT_GE(polls, 1);              // the poll ran in the pause ...
  EXPECT_EQ(pollsWhileEnabled, 0);  // ... and never gave the window back
  EXPECT_TRUE(window_->InputEnabled());
  EXPECT_EQ(log_.Count(14), 2);
  EXPECT_EQ(log_.Count(132), 2);
}

TEST_F(MainWindowTest, APollThatFailsAsksAndCancelGoesOffLine) {
  Connect();
  Questions questions;
  questions.Answer(kErrCom, {kAnswerRetry, kAnswerCancel});
  QSignalSpy failures(window_.get(), &CMainDlgDlg::linkFailed);
  sim_.InjectFault({.kind = sim::Fault::Kind::Silence});
  ASSERT_TRUE(QTest::qWaitFor([&] { return questions.Starting(kErrCom).size() == 2; }, 10000));
  QTest::qWait(20);
  EXPECT_EQ(failures.count(), 2);
  EXPECT_FALSE(window_->Connected());
  EXPECT_EQ(window_->CurrentSession(), nullptr);
  EXPECT_TRUE(window_->InputEnabled());
  EXPECT_TRUE(StaysQuiet());
}

TEST_F(MainWindowTest, CancelOfAFailedUploadDisconnects) {
  Questions questions;
  questions.Answer(kErrCom, {kAnswerCancel});
  sim_.InjectFault({.kind = sim::Fault::Kind::Silence, .command = 14});
  Key(fk::kConnectButton)->click();
  Panel()->Button(cp::kConnectButton)->click();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !questions.Starting(kErrCom).empty(); }, 10000));
  QTest::qWait(20);
  EXPECT_EQ(questions.Starting(kErrCom).size(), 1u);
  EXPECT_FALSE(window_->Connected());
  EXPECT_FALSE(window_->UploadProgress()->isVisible());
  EXPECT_TRUE(window_->InputEnabled());
  EXPECT_TRUE(StaysQuiet());
  // Identify, 130, then command 14 tried four times (a read has no silent retry).
  EXPECT_EQ(log_.Commands(), std::vector<int>({0, 0, 130, 14, 14, 14, 14}));
}

TEST_F(MainWindowTest, APortThatDoesNotOpenIsAskedAboutAndOpenedAgain) {
  Questions questions;
  questions.Answer(kErrCom, {kAnswerRetry, kAnswerCancel});
  Key(fk::kConnectButton)->click();
  Panel()->PortList()->setCurrentIndex(
      Panel()->PortList()->findText(QStringLiteral("Serial port (ttyNONE0)")));
  Panel()->Button(cp::kConnectButton)->click();
  ASSERT_TRUE(QTest::qWaitFor([&] { return questions.Starting(kErrCom).size() == 2; }, 5000));
  QTest::qWait(20);
  EXPECT_EQ(questions.Starting(kErrCom).size(), 2u);
  EXPECT_TRUE(questions.Starting(kErrCom)[0].text.contains("ttyNONE0"));
  EXPECT_EQ(window_->CurrentSession(), nullptr);
  EXPECT_TRUE(window_->InputEnabled());
  EXPECT_EQ(sim_.RequestCount(), 0);
  EXPECT_EQ(settings_->ComPort(), QStringLiteral("ttyNONE0"));
}

TEST_F(MainWindowTest, DeviceAddressEntryIsBoundedStoredAndUsedAndTheAboutBoxNamesTheVersion) {
  sim_.Modify([](sim::DeviceState& s) { s.pollingAddress = 4; });
  Questions questions;
  Key(fk::kConnectButton)->click();
  {
    // 16 is refused and the entry stays open; 4 is taken.
    test::ModalScript script({test::Enter("16"), test::Enter("4")});
    Panel()->Button(cp::kAddressButton)->click();
    EXPECT_TRUE(script.Finished());
  }
  EXPECT_EQ(questions.Seen().size(), 1u);
  EXPECT_EQ(Panel()->AddressLabel()->text(), QStringLiteral("4"));
  EXPECT_EQ(settings_->PollingAddr(), QStringLiteral("4"));
  Panel()->Button(cp::kConnectButton)->click();
  ASSERT_TRUE(WaitMonitoring());
  EXPECT_EQ(log_.IdentifyAddresses(), std::vector<int>({4, 4}));

  QString about;
  QTimer::singleShot(50, [&about] {
    if (QMessageBox* box = test::VisibleBox()) {
      about = box->text();
      box->accept();
    }
  });
  window_->AboutAction()->trigger();
  EXPECT_EQ(about, QStringLiteral("VA5VIVI Version ") + VA5VIVI_VERSION);
}

TEST_F(MainWindowTest, AGraphButtonShowsTheTrendInPlaceOfTheDisplayUntilItCloses) {
  Connect();
  auto* display = window_->findChild<CDisplayArea*>();
  auto* trend = window_->findChild<CTrendGraph*>();
  ASSERT_NE(display, nullptr);
  ASSERT_NE(trend, nullptr);
  QPushButton* graphButton = display->GraphButton(CDisplayArea::kLoopCurrent);
  ASSERT_TRUE(graphButton->isEnabled());
  graphButton->click();
  EXPECT_EQ(window_->CurrentGraph(), trend);
  EXPECT_TRUE(trend->isVisible());
  EXPECT_FALSE(display->isVisible());
  EXPECT_FALSE(window_->FunctionKeys()->isVisible());
  EXPECT_EQ(trend->SignalShown(), CDisplayArea::kLoopCurrent);

  // The polls feed the run once it is started.
  trend->Button(ids::trend_graph::kStartButton)->click();
  EXPECT_TRUE(QTest::qWaitFor([&] { return trend->Graph()->Series().Size() >= 3; }, 10000));

  trend->Button(ids::trend_graph::kCloseButton)->click();
  EXPECT_EQ(window_->CurrentGraph(), nullptr);
  EXPECT_TRUE(display->isVisible());
  EXPECT_TRUE(window_->FunctionKeys()->isVisible());

  // Opened over a function panel, it still closes to the sensor information panel: the panel
  // under it closes too, and the function keys work again.
  Key(fk::kDiagnosticsButton)->click();
  CPanel* diagnostics = window_->CurrentPanel();
  ASSERT_NE(diagnostics, nullptr);
  graphButton->click();
  ASSERT_EQ(window_->CurrentGraph(), trend);
  trend->Button(ids::trend_graph::kCloseButton)->click();
  EXPECT_EQ(window_->CurrentGraph(), nullptr);
  EXPECT_EQ(window_->CurrentPanel(), nullptr);
  EXPECT_FALSE(diagnostics->isVisible());
  EXPECT_TRUE(display->isVisible());
  EXPECT_TRUE(Key(fk::kDiagnosticsButton)->isEnabled());

  // A lost link keeps the run: it stays on screen without new samples and can be saved; the
  // display behind it is off line and its graph buttons wait for a device.
  graphButton->click();
  ASSERT_EQ(window_->CurrentGraph(), trend);
  trend->Button(ids::trend_graph::kStartButton)->click();
  ASSERT_TRUE(QTest::qWaitFor([&] { return trend->Graph()->Series().Size() >= 2; }, 10000));
  Questions questions;
  questions.Answer(kErrCom, {kAnswerCancel});
  sim_.InjectFault({.kind = sim::Fault::Kind::Silence});
  ASSERT_TRUE(QTest::qWaitFor([&] { return !window_->Connected(); }, 10000));
  const auto samples = trend->Graph()->Series().Size();
  QTest::qWait(100);
  EXPECT_EQ(window_->CurrentGraph(), trend);
  EXPECT_TRUE(trend->isVisible());
  EXPECT_EQ(trend->Graph()->Series().Size(), samples);
  QTemporaryDir dir;
  const QString csv = dir.filePath(QStringLiteral("run.csv"));
  ASSERT_TRUE(trend->SaveCsv(csv));
  QFile saved(csv);
  ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
  EXPECT_GE(saved.readAll().count('\n'), static_cast<qsizetype>(samples));
  trend->Button(ids::trend_graph::kCloseButton)->click();
  EXPECT_EQ(window_->CurrentGraph(), nullptr);
  EXPECT_TRUE(display->isVisible());
  EXPECT_FALSE(graphButton->isEnabled());
  EXPECT_TRUE(display->Gauge(CDisplayArea::kPv)->ValueText().isEmpty());
}

TEST_F(MainWindowTest, WindowClosesOnlyWhenAskedAndPollsOnAfterNo) {
  Connect();
  Questions questions;
  questions.Answer(kClose, {kAnswerNo, kAnswerYes});
  window_->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get()));
  for (int key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Enter}) {
    QTest::keyClick(window_.get(), static_cast<Qt::Key>(key));
    Key(fk::kExitButton)->setFocus();
    QTest::keyClick(Key(fk::kExitButton), static_cast<Qt::Key>(key));
  }
  EXPECT_TRUE(window_->isVisible());
  EXPECT_TRUE(questions.Seen().empty());

  window_->close();  // the title bar's close: No
  ASSERT_EQ(questions.Starting(kClose).size(), 1u);
  EXPECT_EQ(questions.Seen()[0].caption, window_->windowTitle());
  EXPECT_TRUE(window_->isVisible());
  EXPECT_FALSE(window_->CurrentSession()->Holding());
  const int before = sim_.RequestCount();
  EXPECT_TRUE(QTest::qWaitFor([&] { return sim_.RequestCount() > before + 2; }, 5000));

  Key(fk::kExitButton)->click();  // Yes
  EXPECT_EQ(questions.Starting(kClose).size(), 2u);
  EXPECT_FALSE(window_->isVisible());
  EXPECT_EQ(window_->CurrentSession(), nullptr);
  EXPECT_TRUE(StaysQuiet());
}

TEST_F(MainWindowTest, BusyKeysDropInputButKeepPaintingAndEvents) {
  window_->SetBusy(true);
  QTest::mouseClick(Key(fk::kConnectButton), Qt::LeftButton);
  Key(fk::kConnectButton)->setFocus();
  QTest::keyClick(Key(fk::kConnectButton), Qt::Key_Space);
  EXPECT_EQ(window_->CurrentPanel(), nullptr);
  for (int type : {int{QEvent::Paint}, int{QEvent::Timer}, int{QEvent::UpdateRequest},
                   int{WorkerEvent::Type()}})
    EXPECT_FALSE(CBusyFilter::IsUserInput(type)) << type;
  // The keys still paint while busy.
  const QImage picture = window_->FunctionKeys()->grab().toImage();
  EXPECT_FALSE(picture.isNull());
  window_->SetBusy(false);
  QTest::mouseClick(Key(fk::kConnectButton), Qt::LeftButton);
  EXPECT_EQ(window_->CurrentPanel(), Panel());
}

// Both languages: every button of the keys and of the link's panels is named by its caption
// and its caption fits; the pictures are saved when VA5VIVI_MAIN_WINDOW_PICTURES names a folder.
TEST_F(MainWindowTest, ConnectedWindowIsNamedAndFitsInBothLanguages) {
  Connect();
  const QString folder = qEnvironmentVariable("VA5VIVI_MAIN_WINDOW_PICTURES");
  for (const auto& [file, suffix] : {std::pair{"English.lng", "en"}, {"Japanese.lng", "ja"}}) {
    SCOPED_TRACE(file);
    settings_->SetLanguageFile(QString::fromUtf8(file));
    window_->ReloadLanguage(false);
    window_->ShowPanel(window_->PollingPanel());  // lays the hidden panels out
    window_->ShowPanel(Panel());
    window_->ShowHome();
    QTest::qWait(50);
    QList<QPushButton*> buttons = window_->FunctionKeys()->findChildren<QPushButton*>();
    buttons += Panel()->findChildren<QPushButton*>();
    buttons += window_->PollingPanel()->findChildren<QPushButton*>();
    for (QPushButton* button : buttons) {
      const QString caption = button->text().remove('&');
      EXPECT_EQ(button->accessibleName(), caption);
      EXPECT_LE(button->fontMetrics().horizontalAdvance(caption) + 8, button->width())
          << caption.toStdString();
    }
    if (!folder.isEmpty()) {
      window_->grab().save(QDir(folder).filePath(QStringLiteral("main-window-%1.png").arg(suffix)));
    }
  }
  EXPECT_EQ(window_->FunctionKeys()->Key(fk::kConnectButton)->text(), QStringLiteral("接続"));
  // Values are named after their rows.
  EXPECT_EQ(Panel()->AddressLabel()->accessibleName(),
            Panel()->Button(cp::kAddressButton)->text().remove('&'));
  EXPECT_FALSE(Panel()->PortList()->accessibleName().isEmpty());
  EXPECT_FALSE(window_->PollingPanel()->AddressLabel()->accessibleName().isEmpty());
  EXPECT_FALSE(window_->PollingPanel()->PreambleLabel()->accessibleName().isEmpty());
}

// The keys follow the device: any device for the common functions, model "TQ5R" for the
// configurable ones; a key without its window stays off whatever the device.
TEST(FunctionKeysTest, EnableRulesFollowTheDeviceAndTheWindowsThatExist) {
  CFunctionKeys keys;
  const std::set<int> always = {fk::kConnectButton, fk::kFileButton, fk::kLanguageButton,
                                fk::kExitButton};
  const std::set<int> anyDevice = {fk::kDiagnosticsButton, fk::kDeviceInfoButton,
                                   fk::kAnalogOutputButton, fk::kTrimDacButton};
  for (int id : CFunctionKeys::KeyIds())
    if (id != fk::kLanguageButton) keys.SetAvailable(id, true);
  const auto check = [&](bool connected, bool configurable) {
    keys.SetDevice(connected, configurable);
    keys.Show(true);
    for (int id : CFunctionKeys::KeyIds()) {
      bool expected = always.count(id) != 0 || (connected && anyDevice.count(id) != 0) ||
                      (connected && configurable);
      if (id == fk::kLanguageButton) expected = false;  // no window behind it
      EXPECT_EQ(keys.Key(id)->isEnabled(), expected)
          << id << " connected " << connected << " configurable " << configurable;
    }
  };
  check(false, false);
  check(false, true);  // a model without a device is no device
  check(true, false);
  check(true, true);
  keys.DisableAll();
  for (int id : CFunctionKeys::KeyIds())
    EXPECT_EQ(keys.Key(id)->isEnabled(), id == fk::kExitButton);
}

// The progress bars fill their share from the left and nothing else; values outside the scale
// (or not a number) are held to its ends.
TEST(ProgressBarsTest, FillTheirShareFromTheLeft) {
  CDisplayUpload upload;
  upload.resize(400, 20);
  const auto share = [](const QImage& image, int y, const QColor& colour) {
    int n = 0;
    for (int x = 0; x < image.width(); ++x) n += image.pixelColor(x, y) == colour ? 1 : 0;
    return n;
  };
  for (const auto& [percent, green] :
       {std::pair{0.0, 0}, {37.5, 150}, {100.0, 400}, {150.0, 400}, {-5.0, 0}, {std::nan(""), 0}}) {
    upload.SetValue(percent);
    const QImage& image = upload.Image();
    EXPECT_EQ(share(image, 10, CDisplayUpload::DoneColour()), green) << percent;
    EXPECT_EQ(share(image, 10, CDisplayUpload::RestColour()), 400 - green) << percent;
    EXPECT_EQ(image.pixelColor(0, 10),
              green > 0 ? CDisplayUpload::DoneColour() : CDisplayUpload::RestColour());
  }

  CDisplayLookingFor search;
  search.resize(306, 30);  // 300 pixels of bar between the margins
  for (const auto& [steps, green] : {std::pair{0, 0}, {5, 100}, {15, 300}, {16, 300}, {-1, 0}}) {
    search.SetSteps(steps);
    EXPECT_EQ(share(search.Image(), 8, CDisplayLookingFor::DoneColour()), green) << steps;
    EXPECT_EQ(share(search.Image(), 8, CDisplayLookingFor::RestColour()), 300 - green) << steps;
  }
}

}  // namespace
}  // namespace va5
