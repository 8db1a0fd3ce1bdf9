// The analog output and DAC trim panels in the assembled main window against the simulated
// transmitter: what command 40, 45, 46 and 158 carry, what the output does afterwards, and
// what the technician is told instead of sending a wrong value.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <chrono>

#include "gui/EntryDialog.h"
#include "gui/MessageBox.h"
#include "gui/panels/AnalogOP.h"
#include "lang/ControlIds.h"
#include "tests/gui/PanelTestSupport.h"

namespace va5 {
namespace {

namespace ao = ids::analog_output;
namespace dt = ids::dac_trim;
namespace fk = ids::function_keys;
using test::Cancel;
using test::Enter;
using test::UIText;

class AnalogOutputTest : public test::ConnectedWindowTest {
 protected:
  float Sent40() const { return test::FloatAt(log_.LastData(40), 0); }  // NaN when none
  void WaitPolls() {  // the device's present output reaches the record
    QSignalSpy polls(window_.get(), &CMainDlgDlg::pollCompleted);
    ASSERT_TRUE(QTest::qWaitFor([&] { return polls.count() >= 3; }, 5000));
  }
};

TEST_F(AnalogOutputTest, FixedOutputIsBoundedAndStaysFixedWhenThePanelCloses) {
  Connect();
  test::Questions questions;
  questions.Answer(UIText("Confr_Loop_Change"), {kAnswerYes});
  CPanel* panel = OpenPanel(fk::kAnalogOutputButton);
  ASSERT_NE(qobject_cast<CAnalogOP*>(panel), nullptr);

  // Above the upper bound the entry refuses the value; nothing is sent.
  log_.Clear();
  QString prompt;
  Click(panel, ao::kSetSpecifiedButton, {Enter("21.61", &prompt), Cancel()});
  EXPECT_EQ(prompt, "Enter the output current to be fixed (3.8 to 21.6 mA):");
  // The box covers the prompt, so it states the limits itself.
  EXPECT_EQ(questions.Starting(UIText("Err_Range_Limits", {"21.61", "3.8", "21.6"})).size(), 1u);
  EXPECT_EQ(log_.Count(40), 0);

  // Both bounds are accepted and go out as the float of command 40.
  for (const float value : {21.6f, 3.8f}) {
    Click(panel, ao::kSetSpecifiedButton, {Enter(QString::number(value))});
    EXPECT_FLOAT_EQ(Sent40(), value);
    EXPECT_NEAR(sim_.State().fixedCurrent, value, 1e-4);
  }
  Click(panel, ao::kExitFixedModeButton);
  EXPECT_EQ(Sent40(), 0.0f);
  EXPECT_FALSE(sim_.State().fixedCurrentMode);

  // Closing the panel asks; after No it leaves a fixed output as it is.
  questions.Answer(UIText("Confr_Output_Return", {"12.000"}), {kAnswerNo});
  Click(panel, ao::kSetSpecifiedButton, {Enter("12")});
  log_.Clear();
  Click(panel, ao::kCloseButton);
  EXPECT_EQ(questions.Starting(UIText("Confr_Output_Return", {"12.000"})).size(), 1u);
  EXPECT_EQ(window_->CurrentPanel(), nullptr);
  EXPECT_EQ(log_.Count(40), 0);
  EXPECT_NEAR(sim_.State().fixedCurrent, 12.0, 1e-4);
}

// An alarm current is no value to fix the loop at: the present current is refused with the
// range message and nothing goes out; a sound present current is sent as read.
TEST_F(AnalogOutputTest, ThePresentCurrentIsFixedOnlyWithinTheOutputRange) {
  sim_.Modify([](sim::DeviceState& s) {
    s.burnout = 1;  // downscale: 3.6 mA on an open sensor
    s.sensorBreak = true;
  });
  Connect();
  test::Questions questions;
  questions.Answer(UIText("Confr_Loop_Change"), {kAnswerYes});
  CPanel* panel = OpenPanel(fk::kAnalogOutputButton);
  WaitPolls();
  ASSERT_NEAR(window_->Record().loopCurrent, 3.6, 1e-4);
  log_.Clear();
  Click(panel, ao::kSetFromPvButton);
  EXPECT_EQ(questions.Starting(UIText("Err_Range_Limits", {"3.600", "3.800", "21.600"})).size(),
            1u);
  EXPECT_EQ(log_.Count(40), 0);

  sim_.Modify([](sim::DeviceState& s) {
    s.sensorBreak = false;
    s.processValue = 25.0;  // 25 % of 0...100 degC: 8 mA
    s.damping = 0.0;
  });
  WaitPolls();
  Click(panel, ao::kSetFromPvButton);
  EXPECT_NEAR(Sent40(), 8.0f, 1e-3);
  EXPECT_EQ(questions.Seen().size(), 2u);  // the range message, the loop question
}

TEST_F(AnalogOutputTest, TheTrimModeDecidesWhatATrimSends) {
  Connect();
  test::Questions questions;
  questions.Answer(UIText("Confr_DAC_Init_Data"), {kAnswerYes});
  questions.Answer(UIText("Confr_Loop_Change"), {kAnswerYes});
  CPanel* panel = OpenPanel(fk::kTrimDacButton);
  const QString notSet = UIText("Err_Trim_Mode_Not_Set");

  // Without a trim mode only the message shows: no entry, nothing sent.
  log_.Clear();
  EXPECT_TRUE(Click(panel, dt::kTrimMeasuredButton).empty());
  EXPECT_EQ(questions.Starting(notSet).size(), 1u);
  EXPECT_EQ(log_.Requests(), std::vector<int>{});

  Click(panel, dt::kLowerTrimModeButton);
  EXPECT_FLOAT_EQ(Sent40(), 4.0f);
  QString prompt;
  Click(panel, dt::kTrimMeasuredButton, {Enter("4.01", &prompt)});
  EXPECT_EQ(prompt, "Enter the actual value (3.800 to 4.200 mA):");
  EXPECT_FLOAT_EQ(test::FloatAt(log_.LastData(45), 0), 4.01f);
  EXPECT_NEAR(sim_.State().dacZeroOffset, -0.01, 1e-5);

  // The loop current of each poll is shown in the entry while the meter's reading is typed.
  QString first, settled;
  const test::ModalScript::Action watch = [&](QDialog& dialog) {
    auto* entry = qobject_cast<CEntryDialog*>(&dialog);
    ASSERT_NE(entry, nullptr);
    first = entry->LiveLabel()->text();
    sim_.Modify([](sim::DeviceState& s) { s.fixedCurrent = 4.123; });
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return entry->LiveLabel()->text() != first && !first.isEmpty(); }, 5000));
    settled = entry->LiveLabel()->text();
    entry->CancelButton()->click();
  };
  log_.Clear();
  Click(panel, dt::kTrimMeasuredButton, {watch});
  EXPECT_TRUE(first.startsWith(QStringLiteral("Loop current: 4.0"))) << first.toStdString();
  EXPECT_EQ(settled, "Loop current: 4.123 mA");
  EXPECT_EQ(log_.Count(45), 0);
  EXPECT_GT(log_.Count(3), 0);  // the poll ran while the entry was open

  Click(panel, dt::kUpperTrimModeButton);
  EXPECT_FLOAT_EQ(Sent40(), 20.0f);
  Click(panel, dt::kTrimMeasuredButton, {Enter("19.9", &prompt)});
  EXPECT_EQ(prompt, "Enter the actual value (19.800 to 20.200 mA):");
  EXPECT_FLOAT_EQ(test::FloatAt(log_.LastData(46), 0), 19.9f);

  // The clear ends out of fixed mode and without a trim mode.
  log_.Clear();
  Click(panel, dt::kClearTrimButton);
  EXPECT_EQ(log_.Requests(), (std::vector<int>{158, 40}));
  EXPECT_FALSE(sim_.State().fixedCurrentMode);
  EXPECT_EQ(sim_.State().dacZeroOffset, 0.0);
  Click(panel, dt::kTrimMeasuredButton);
  EXPECT_EQ(questions.Starting(notSet).size(), 2u);
  EXPECT_EQ(log_.Count(45) + log_.Count(46), 0);
}

TEST_F(AnalogOutputTest, ClosingTrimDacReleasesTheOutputOrLeavesWithTheLink) {
  Connect();
  test::Questions questions;
  questions.Answer(UIText("Confr_Loop_Change"), {kAnswerYes});
  questions.Answer(UIText("Confr_Output_Return", {"4.000"}), {kAnswerYes});
  CPanel* panel = OpenPanel(fk::kTrimDacButton);
  Click(panel, dt::kLowerTrimModeButton);
  ASSERT_TRUE(sim_.State().fixedCurrentMode);

  // Refused: the panel stays with the device's answer.
  sim_.InjectFault({.kind = sim::Fault::Kind::ResponseCode, .count = 1, .command = 40,
                    .value = sim::RcInvalidSelection});
  Click(panel, dt::kCloseButton);
  EXPECT_EQ(questions
                .Starting(UIText("Err_CMD",
                                 {"40 (Enter/exit fixed current mode)", "2", "invalid selection"}))
                .size(),
            1u);
  EXPECT_EQ(window_->CurrentPanel(), panel);

  std::chrono::steady_clock::time_point hidden;
  QObject::connect(panel, &CPanel::closeRequested,
                   [&] { hidden = std::chrono::steady_clock::now(); });
  log_.Clear();
  Click(panel, dt::kCloseButton);
  EXPECT_EQ(window_->CurrentPanel(), nullptr);
  EXPECT_FALSE(sim_.State().fixedCurrentMode);
  std::chrono::steady_clock::time_point sent;
  for (const test::SentFrame& frame : log_.Frames())
    if (frame.command == 40) sent = frame.at;
  ASSERT_NE(sent, std::chrono::steady_clock::time_point{});
  EXPECT_GE(hidden - sent, timing_.leaveFixedWait);

  // A link that stays silent, given up: the window goes off line and home.
  const QString lost = UIText("Err_COM", {"SIM9"}).left(12);
  questions.Answer(lost, {kAnswerCancel});
  panel = OpenPanel(fk::kTrimDacButton);
  sim_.InjectFault({.kind = sim::Fault::Kind::Silence, .command = 40});
  Click(panel, dt::kUpperTrimModeButton);
  EXPECT_EQ(questions.Starting(lost).size(), 1u);
  EXPECT_FALSE(window_->Connected());
  EXPECT_EQ(window_->CurrentPanel(), nullptr);
}

// Both panels in both languages: named, unclipped, the Close button focused and working from
// the keyboard. Pictures of the window go to VA5VIVI_SCREENSHOT_DIR when it is set.
TEST_F(AnalogOutputTest, BothPanelsAreNamedFitAndCloseFromTheKeyboard) {
  const QString pictures = qEnvironmentVariable("VA5VIVI_SCREENSHOT_DIR");
  for (const char* language : {"English.lng", "Japanese.lng"}) {
    StartWindow(language);
    Connect();
    for (const auto& [key, close, name] :
         {std::tuple{fk::kAnalogOutputButton, ao::kCloseButton, "analog-output"},
          std::tuple{fk::kTrimDacButton, dt::kCloseButton, "trim-dac"}}) {
      CPanel* panel = OpenPanel(key);
      QApplication::processEvents();
      for (QPushButton* button : panel->findChildren<QPushButton*>()) {
        EXPECT_EQ(button->accessibleName(), button->text());
        EXPECT_GE(button->width(), button->sizeHint().width()) << button->text().toStdString();
      }
      const auto labels = panel->findChildren<QLabel*>();
      ASSERT_EQ(labels.size(), 1);
      EXPECT_EQ(labels[0]->accessibleName(), labels[0]->text());
      EXPECT_GE(labels[0]->width(), labels[0]->minimumSizeHint().width());
      QPushButton* closeButton = ButtonOf(panel, close);
      EXPECT_EQ(window_->focusWidget(), closeButton);
      if (!pictures.isEmpty()) {
        EXPECT_TRUE(window_->grab().save(QDir(pictures).filePath(
            QStringLiteral("%1-%2.png").arg(name, QString(language).left(2).toLower()))));
      }
      QTest::keyClick(closeButton, Qt::Key_Space);
      EXPECT_TRUE(WaitIdle());
      EXPECT_EQ(window_->CurrentPanel(), nullptr) << name;
    }
  }
}

}  // namespace
}  // namespace va5
