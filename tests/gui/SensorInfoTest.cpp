// The sensor information panel against the simulated transmitter: the worker's messages reach
// the panel as posted events, as in the main window; modal dialogs are answered by a script;
// what the device received is read from the link's trace.
#include "gui/panels/SensorInfo.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <chrono>
#include <deque>
#include <functional>
#include <mutex>
#include <set>
#include <sstream>

#include "comm/RequestTypes.h"
#include "device/GlobalFile.h"
#include "gui/AppSettings.h"
#include "gui/Localise.h"
#include "gui/SelectListBox.h"
#include "gui/ValidateNumber.h"
#include "gui/WorkerEvent.h"
#include "lang/ControlIds.h"
#include "lang/MessageFormat.h"
#include "lang/ResourceDatabase.h"
#include "session/Session.h"
#include "sim/SimulatedTransmitter.h"
#include "testing/TraceCommands.h"
#include "tests/gui/GuiTestSupport.h"
#include "tests/gui/PanelTestSupport.h"

namespace va5 {
namespace {

namespace si = ids::sensor_info;
using Clock = std::chrono::steady_clock;
using Commands = std::vector<int>;

using test::CommandOfTxLine;

// The main window's part: the worker's messages, posted as events, go to the panel.
class Router : public QObject {
 public:
  CSensorInfo* panel = nullptr;
  bool event(QEvent* e) override {
    if (e->type() != WorkerEvent::Type()) return QObject::event(e);
    if (panel != nullptr) panel->OnWorkerMessage(static_cast<WorkerEvent*>(e)->Message());
    return true;
  }
};

using test::Cancel;
using test::Choose;
using test::Enter;
using test::ModalScript;
using test::UIText;

class SensorInfoTest : public ::testing::Test {
 protected:
  void SetUp() override { LoadLanguage("English.lng"); }
  void TearDown() override { TheResourceDatabase().InitEmpty(); }

  static void LoadLanguage(const std::string& file) {
    TheResourceDatabase().InitEmpty();
    TheResourceDatabase().Load(file, {VA5VIVI_RESOURCES_DIR});
  }

  // Connects and uploads the simulated device, then shows the panel on that session.
  void Connect(const std::function<void(sim::DeviceState&)>& prepare = {}) {
    // The panel on its own, on the bench: the loop question (LoopSafetyTest asks it through
    // the window) is switched off.
    CAppSettings bench;
    bench.Load();
    bench.SetConfirmLoopChange(false);
    bench.SaveConfirmLoopChange();
    ASSERT_TRUE(sim_.Start());
    if (prepare) sim_.Modify(prepare);
    session::SessionOptions options;
    options.port = sim_.SlavePath();
    options.trace = [this](std::string_view line) {
      if (line.rfind("TX: ", 0) != 0) return;
      std::lock_guard lock(mutex_);
      sent_.emplace_back(CommandOfTxLine(line), Clock::now());
    };
    session_ = std::make_unique<session::Session>(options, timing_);
    ASSERT_EQ(session_->Connect(), ResultOk);
    ASSERT_EQ(session_->Upload(), ResultOk);
    session_->SetMessageTarget(&sink_, ReplySensorInfo);
    panel_ = std::make_unique<CSensorInfo>(session_.get(), tables_);
    router_.panel = panel_.get();
    QObject::connect(panel_.get(), &CSensorInfo::busyChanged, [this](bool busy) {
      busy_.push_back(busy);
      if (!busy) doneAt_ = Clock::now();
    });
    panel_->Show(true);
    ForgetSent();
  }

  void ForgetSent() {
    std::lock_guard lock(mutex_);
    sent_.clear();
  }

  // The commands sent since the last ForgetSent, without the polls (3 then 2) that run
  // between and after the requests.
  Commands Sent() {
    std::lock_guard lock(mutex_);
    Commands commands;
    for (std::size_t i = 0; i < sent_.size(); ++i) {
      // Command 2 belongs to polls only (a poll's first half may precede the start).
      if (sent_[i].first == 2) continue;
      if (sent_[i].first == 3 && i + 1 < sent_.size() && sent_[i + 1].first == 2) continue;
      commands.push_back(sent_[i].first);
    }
    // A poll caught between its two commands; no request ends with command 3.
    if (!commands.empty() && commands.back() == 3) commands.pop_back();
    return commands;
  }

  Clock::time_point LastSentAt(int command) {
    std::lock_guard lock(mutex_);
    for (auto it = sent_.rbegin(); it != sent_.rend(); ++it) {
      if (it->first == command) return it->second;
    }
    return {};
  }

  // Clicks a caption button, answering the dialogs by `script`, and waits until the setting
  // has ended.
  std::vector<QString> Click(int buttonId, std::deque<ModalScript::Action> actions) {
    ModalScript script(std::move(actions));
    QPushButton* button = panel_->Button(buttonId);
    EXPECT_TRUE(button != nullptr && button->isEnabled());
    if (button != nullptr) button->click();
    EXPECT_TRUE(QTest::qWaitFor([this] { return !panel_->Busy(); }, 20000));
    // Anything sent after the end would belong to this setting too.
    QTest::qWait(static_cast<int>(3 * timing_.idleWait.count()) + 20);
    return script.titles;
  }

  QString Value(int id) const { return panel_->ValueLabel(id)->text(); }

  CglobalFile tables_;
  Timing timing_ = Timing{}.Scaled(0.1);
  sim::SimulatedTransmitter sim_;
  Router router_;
  GuiMessageSink sink_{&router_};
  std::mutex mutex_;
  std::vector<std::pair<int, Clock::time_point>> sent_;  // guarded by mutex_
  std::unique_ptr<session::Session> session_;
  std::unique_ptr<CSensorInfo> panel_;
  std::vector<bool> busy_;
  Clock::time_point doneAt_;
};

TEST_F(SensorInfoTest, SensorTypeAsksForTheWiringOnlyWhereTheSensorHasAChoice) {
  Connect();  // Pt100, 3 wires
  test::RecordedMessages messages;

  // A thermocouple has its wiring fixed: no question, wiring 2 goes with the type.
  EXPECT_EQ(Click(si::kSensorTypeButton, {Choose("Type K")}),
            std::vector<QString>{"Sensor Type"});
  EXPECT_EQ(Sent(), (Commands{131, 14, 15, 3, 132}));
  EXPECT_EQ(sim_.State().sensorType, 137);
  EXPECT_EQ(sim_.State().sensorWires, 2);
  EXPECT_EQ(Value(si::kSensorTypeValue), "Type K");
  EXPECT_EQ(Value(si::kSensorWireValue), "2 Wires");
  // The main window was disabled from the submission to the end of the chain, once.
  EXPECT_EQ(busy_, (std::vector<bool>{true, false}));

  // A resistance thermometer asks; cancelling the wiring sends nothing.
  ForgetSent();
  EXPECT_EQ(Click(si::kSensorTypeButton, {Choose("Pt100"), Cancel()}),
            (std::vector<QString>{"Sensor Type", "Sensor Wiring"}));
  EXPECT_EQ(Sent(), Commands{});
  EXPECT_EQ(sim_.State().sensorType, 137);
  EXPECT_EQ(busy_.size(), 2u);

  // With a wiring chosen, both go.
  Click(si::kSensorTypeButton, {Choose("Pt100"), Choose("4 Wires")});
  EXPECT_EQ(Sent(), (Commands{131, 14, 15, 3, 132}));
  EXPECT_EQ(sim_.State().sensorType, 12);
  EXPECT_EQ(sim_.State().sensorWires, 4);
  EXPECT_EQ(Value(si::kSensorWireValue), "4 Wires");
  EXPECT_TRUE(messages.Seen().empty());
  // Every dialog released the poll it held.
  EXPECT_FALSE(session_->Holding());
}

TEST_F(SensorInfoTest, CustomSensorAndSpecialCurveNeedTheirTablesInTheDevice) {
  Connect([](sim::DeviceState& s) {
    s.rtdTable.configured = false;
    s.curve.configured = false;
  });
  test::RecordedMessages messages;

  Click(si::kSensorTypeButton, {Choose("Custom RTD"), Choose("3 Wires")});
  EXPECT_EQ(Sent(), Commands{184});
  ASSERT_EQ(messages.Seen().size(), 1u);
  EXPECT_EQ(messages.LastText(), UIText("Err_Table_Not_Defined", {"RTD"}));
  EXPECT_EQ(sim_.State().sensorType, 12);
  EXPECT_EQ(Value(si::kSensorTypeValue), "Pt100");

  ForgetSent();
  Click(si::kTransferFunctionButton, {Choose("SPECIAL_CURVE")});
  EXPECT_EQ(Sent(), Commands{188});
  ASSERT_EQ(messages.Seen().size(), 2u);
  EXPECT_EQ(messages.LastText(), UIText("Err_Special_Table_Not_Defined"));
  EXPECT_EQ(sim_.State().transferFunction, 0);

  // Other transfer functions go directly.
  ForgetSent();
  Click(si::kTransferFunctionButton, {Choose("SQRT")});
  EXPECT_EQ(Sent(), Commands{47});
  EXPECT_EQ(sim_.State().transferFunction, 1);
  EXPECT_EQ(Value(si::kTransferFunctionValue), "SQRT");

  // Once the device holds the table, the header read leads on to the write and its reads.
  sim_.Modify([](sim::DeviceState& s) { s.rtdTable.configured = true; });
  ForgetSent();
  Click(si::kSensorTypeButton, {Choose("Custom RTD"), Choose("3 Wires")});
  EXPECT_EQ(Sent(), (Commands{184, 131, 14, 15, 3, 132}));
  EXPECT_EQ(sim_.State().sensorType, CustomRtdSensorCode);
  EXPECT_EQ(Value(si::kSensorTypeValue), "Custom RTD");
  EXPECT_EQ(messages.Seen().size(), 2u);
  EXPECT_EQ(busy_, (std::vector<bool>{true, false, true, false, true, false, true, false}));
}

TEST_F(SensorInfoTest, RangeAndDampingEntries) {
  Connect([](sim::DeviceState& s) {
    s.sensorType = 137;  // Type K: -150 to 1370 degC, minimum span 25
    s.sensorWires = 2;
  });
  test::RecordedMessages messages;

  // Narrower than the minimum span: refused before anything is sent, and asked again (here
  // cancelled).
  QString prompt;
  Click(si::kPvRangeButton, {Enter("100", &prompt), Enter("90"), Cancel()});
  EXPECT_EQ(prompt, ToQString(FormatMessageText(GetDisplayMsg("Set_Upper_Range"),
                                                {"-150.000", "1370.000", "degC"})));
  ASSERT_EQ(messages.Seen().size(), 1u);
  EXPECT_EQ(messages.LastText(), UIText("Err_Span", {"25.00", "degC"}));
  EXPECT_EQ(Sent(), Commands{});
  EXPECT_TRUE(busy_.empty());
  EXPECT_DOUBLE_EQ(sim_.State().upperRangeValue, 100.0);

  // A reverse range is a range.
  Click(si::kPvRangeButton, {Enter("0"), Enter("100")});
  EXPECT_EQ(Sent(), Commands{35});
  EXPECT_DOUBLE_EQ(sim_.State().upperRangeValue, 0.0);
  EXPECT_DOUBLE_EQ(sim_.State().lowerRangeValue, 100.0);
  EXPECT_EQ(Value(si::kUpperRangeValue), "0.000");
  EXPECT_EQ(Value(si::kLowerRangeValue), "100.000");

  // Damping 0 is allowed below the minimum and goes as 0.000.
  ForgetSent();
  Click(si::kDampingButton, {Enter("0")});
  EXPECT_EQ(Sent(), Commands{34});
  EXPECT_DOUBLE_EQ(sim_.State().damping, 0.0);
  EXPECT_EQ(Value(si::kDampingValue), "0.000");

  // The serial number goes as a whole number.
  ForgetSent();
  Click(si::kSerialNumberButton, {Enter("16777215")});
  EXPECT_EQ(Sent(), Commands{49});
  EXPECT_EQ(sim_.State().sensorSerialNumber, 16777215u);
  EXPECT_EQ(Value(si::kSerialNumberValue), "16777215");
  EXPECT_EQ(messages.Seen().size(), 1u);
}

TEST_F(SensorInfoTest, PvUnitChangeShowsTheNewUnitOnlyAfterTheReadsAndThePause) {
  Connect();  // Pt100, range 0 to 100 degC
  QSignalSpy units(panel_.get(), &CSensorInfo::unitsChanged);
  int offered = 0;
  Click(si::kPvUnitButton, {[&](QDialog& dialog) {
          // A temperature sensor offers the temperature units only.
          offered = qobject_cast<CSelectListBox*>(&dialog)->List()->count();
          Choose("degF")(dialog);
        }});
  EXPECT_EQ(offered, 4);
  EXPECT_EQ(Sent(), (Commands{44, 3, 14, 15}));
  // The device settles before the values are taken: the end comes a pause after the reads.
  EXPECT_GE(doneAt_ - LastSentAt(15), timing_.unitChangeWait);
  EXPECT_EQ(Value(si::kPvUnitValue), "degF");
  EXPECT_EQ(Value(si::kUpperRangeValue), "212.000");
  EXPECT_EQ(Value(si::kLowerRangeValue), "32.000");
  ASSERT_FALSE(units.isEmpty());
  EXPECT_EQ(units.last().at(0).toString(), "degF");
  EXPECT_EQ(units.last().at(1).toString(), "degC");
}

TEST_F(SensorInfoTest, UnknownCodesShowTheirNumberAndAreReportedOncePerConnection) {
  Connect([](sim::DeviceState& s) {
    s.transferFunction = 7;
    s.burnout = 9;
  });
  QSignalSpy reports(panel_.get(), &CSensorInfo::unknownCode);
  // Reported when the panel was first shown (before the spy): shown as numbers, not again.
  EXPECT_EQ(Value(si::kTransferFunctionValue), "7");
  EXPECT_EQ(Value(si::kBurnoutValue), "9");
  for (int i = 0; i < 5; ++i) {
    panel_->OnWorkerMessage({ReplySensorInfo, RequestReadSensorInfo, ResultOk});
    panel_->Show(true);
  }
  QTest::qWait(50);
  EXPECT_EQ(reports.count(), 0);

  // A new connection reports them again, once each.
  panel_->SetSession(nullptr);
  panel_->SetSession(session_.get());
  panel_->Refresh();
  ASSERT_EQ(reports.count(), 2);
  std::set<std::pair<int, int>> seen;
  for (const auto& r : reports) seen.insert({r.at(0).toInt(), r.at(1).toInt()});
  EXPECT_EQ(seen, (std::set<std::pair<int, int>>{{si::kTransferFunctionValue, 7},
                                                 {si::kBurnoutValue, 9}}));

  // Choosing from a list whose shown name is a number still works.
  ForgetSent();
  Click(si::kTransferFunctionButton, {Choose("LINEAR")});
  EXPECT_EQ(Sent(), Commands{47});
  EXPECT_EQ(Value(si::kTransferFunctionValue), "LINEAR");
}

TEST_F(SensorInfoTest, ALostLinkEndsTheSettingAndDisablesTheButtons) {
  Connect();
  test::RecordedMessages messages;
  QSignalSpy lost(panel_.get(), &CSensorInfo::linkLost);
  int questions = 0;
  // The main window's answer to the question: give up.
  QObject::connect(panel_.get(), &CSensorInfo::linkFailure, [&](COperationRunner* runner) {
    ++questions;
    runner->Answer(false);
  });
  sim_.InjectFault({.kind = sim::Fault::Kind::Silence, .count = -1, .command = 34});
  Click(si::kDampingButton, {Enter("4")});
  EXPECT_EQ(questions, 1);
  EXPECT_EQ(lost.count(), 1);
  EXPECT_EQ(busy_, (std::vector<bool>{true, false}));
  EXPECT_FALSE(panel_->Button(si::kDampingButton)->isEnabled());
  EXPECT_FALSE(panel_->Button(si::kSensorTypeButton)->isEnabled());
  // The last values stay displayed.
  EXPECT_EQ(Value(si::kDampingValue), "2.000");
  EXPECT_TRUE(messages.Seen().empty());
}

// Every caption in both languages, unclipped, with the accessible names a screen reader
// needs. Pictures go to VA5VIVI_SCREENSHOT_DIR when it is set.
TEST_F(SensorInfoTest, EveryRowIsNamedAndFitsInBothLanguages) {
  Connect();
  const QString pictures = qEnvironmentVariable("VA5VIVI_SCREENSHOT_DIR");
  for (const auto& [file, suffix] : {std::pair{"English.lng", "en"}, {"Japanese.lng", "ja"}}) {
    LoadLanguage(file);
    panel_->Show(true);
    panel_->adjustSize();
    QApplication::processEvents();
    for (QPushButton* button : panel_->findChildren<QPushButton*>()) {
      EXPECT_FALSE(button->text().isEmpty()) << file;
      EXPECT_EQ(button->accessibleName(), button->text());
      EXPECT_GE(button->width(), button->sizeHint().width()) << button->text().toStdString();
    }
    for (QLabel* label : panel_->findChildren<QLabel*>()) {
      EXPECT_FALSE(label->text().isEmpty()) << file << " " << ControlId(label);
      EXPECT_GE(label->width(), label->sizeHint().width()) << label->text().toStdString();
    }
    const QLabel* damping = panel_->ValueLabel(si::kDampingValue);
    EXPECT_EQ(damping->accessibleName(), panel_->Button(si::kDampingButton)->text());
    EXPECT_EQ(damping->text(), "2.000");
    EXPECT_EQ(panel_->ValueLabel(si::kUpperRangeValue)->accessibleName(),
              panel_->Button(si::kPvRangeButton)->text() + " " +
                  panel_->ValueLabel(si::kUpperRangeLabel)->text());
    if (!pictures.isEmpty()) {
      EXPECT_TRUE(panel_->grab().save(QDir(pictures).filePath(
          QStringLiteral("sensor-panel-%1.png").arg(QLatin1String(suffix)))));
    }
  }
}

}  // namespace
}  // namespace va5
