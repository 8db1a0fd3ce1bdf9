// The sensor calibration panel in the assembled main window against the simulated transmitter:
// what command 141 carries for each button, as the device received it.
#include <gtest/gtest.h>

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "gui/EntryDialog.h"
#include "gui/Panel.h"
#include "lang/ControlIds.h"
#include "lang/MessageFormat.h"
#include "lang/ResourceDatabase.h"
#include "session/Session.h"
#include "tests/gui/PanelTestSupport.h"

namespace va5 {
namespace {

namespace sc = ids::sensor_calib;
using test::Cancel;
using test::Enter;
using test::UIText;
using Trim = std::tuple<int, int, float>;  // point, unit, value

class SensorCalibTest : public test::ConnectedWindowTest {
 protected:
  Trim LastTrim() const {
    const std::vector<std::uint8_t> d = log_.LastData(141);
    return d.size() < 6 ? Trim{-1, -1, 0.0f} : Trim{d[0], d[1], test::FloatAt(d, 2)};
  }
};

TEST_F(SensorCalibTest, TrimsSendPointTheUnitOfTheMomentAndValue) {
  sim_.Modify([](sim::DeviceState& s) {  // Pt100 in degC, a steady input, undamped
    s.processValue = 42.5;
    s.damping = 0.0;
  });
  Connect();
  CPanel* panel = OpenPanel(ids::function_keys::kSensorCalButton);
  test::Questions questions;
  EXPECT_TRUE(QTest::qWaitFor([&] { return TextOf(panel, sc::kPvValue) == "42.500000"; }, 5000));
  EXPECT_EQ(TextOf(panel, sc::kPvUnit), "degC");
  EXPECT_TRUE(ButtonOf(panel, sc::kCloseButton)->hasFocus());

  // Clearing asks; No sends nothing, Yes sends the present PV with point 0.
  questions.Answer(UIText("Confr_Reset_SensorCal_Data"), {kAnswerNo, kAnswerYes});
  questions.Answer(UIText("Confr_Loop_Change"), {kAnswerYes});
  log_.Clear();
  Click(panel, sc::kClearDataButton);
  EXPECT_EQ(log_.Count(141), 0);
  Click(panel, sc::kClearDataButton);
  EXPECT_EQ(log_.Requests(), std::vector<int>{141});
  EXPECT_EQ(LastTrim(), (Trim{0, sim::UnitDegC, 42.5f}));

  QString prompt;
  EXPECT_EQ(Click(panel, sc::kZeroButton, {Enter("40", &prompt)}),
            std::vector<QString>{"Zero Calibration"});
  EXPECT_EQ(prompt, ToQString(FormatMessageText(GetDisplayMsg("Set_Calibration_val"),
                                                {"-200.000000", "850.000000", "degC"})));
  EXPECT_EQ(LastTrim(), (Trim{1, sim::UnitDegC, 40.0f}));
  EXPECT_EQ(TextOf(panel, sc::kZeroPointValue), "42.5000 degC");
  EXPECT_EQ(TextOf(panel, sc::kZeroValueValue), "40.0000 degC");

  // Outside the sensor limits: the entry refuses OK and nothing goes.
  log_.Clear();
  EXPECT_EQ(Click(panel, sc::kSpanButton, {Enter("850.5"), Cancel()}).size(), 2u);
  EXPECT_EQ(questions.Starting(UIText("Err_Range_Limits", {"850.5", "-200", "850"})).size(), 1u);
  EXPECT_EQ(log_.Count(141), 0);

  // The device's unit changes after the panel opened: the span goes in the new unit.
  sim_.Modify([](sim::DeviceState& s) {
    s.pvUnit = sim::UnitDegF;
    s.processValue = 90.0;
  });
  EXPECT_TRUE(QTest::qWaitFor([&] { return TextOf(panel, sc::kPvUnit) == "degF"; }, 5000));
  Click(panel, sc::kSpanButton, {Enter("120")});
  EXPECT_EQ(LastTrim(), (Trim{2, sim::UnitDegF, 120.0f}));
  EXPECT_EQ(TextOf(panel, sc::kZeroValueValue), "40.0000 degF");
  EXPECT_EQ(TextOf(panel, sc::kGainValue), "1.6842");  // (120 - 40) / (90 - 42.5)
  EXPECT_EQ(questions.Seen().size(), 5u);  // with the loop questions of the zero and the span
  EXPECT_FALSE(window_->CurrentSession()->Holding());
}

// The poll goes on while a trim value is typed, and the dialog shows the PV of each poll: a
// settling input is watched where the value is entered. What goes is the value typed.
TEST_F(SensorCalibTest, TheEntryShowsThePvWhileItSettles) {
  sim_.Modify([](sim::DeviceState& s) {
    s.processValue = 42.5;
    s.damping = 0.0;
  });
  Connect();
  CPanel* panel = OpenPanel(ids::function_keys::kSensorCalButton);
  test::Questions questions;
  questions.Answer(UIText("Confr_Loop_Change"), {kAnswerYes});
  ASSERT_TRUE(QTest::qWaitFor([&] { return TextOf(panel, sc::kPvValue) == "42.500000"; }, 5000));
  QString first, settled;
  const test::ModalScript::Action watch = [&](QDialog& dialog) {
    auto* entry = qobject_cast<CEntryDialog*>(&dialog);
    ASSERT_NE(entry, nullptr);
    first = entry->LiveLabel()->text();
    sim_.Modify([](sim::DeviceState& s) { s.processValue = 47.25; });
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return entry->LiveLabel()->text().contains(QStringLiteral("47.25")); }, 5000));
    settled = entry->LiveLabel()->text();
    EXPECT_TRUE(entry->LiveLabel()->isVisible());
    entry->Edit()->setText(QStringLiteral("47.3"));
    entry->OkButton()->click();
  };
  log_.Clear();
  Click(panel, sc::kZeroButton, {watch});
  EXPECT_EQ(first, "Present PV: 42.500000 degC");
  EXPECT_EQ(settled, "Present PV: 47.250000 degC");
  EXPECT_EQ(LastTrim(), (Trim{1, sim::UnitDegC, 47.3f}));
}

// Named and unclipped in both languages; pictures go to VA5VIVI_SCREENSHOT_DIR when it is set.
TEST_F(SensorCalibTest, NamedAndUnclippedInBothLanguages) {
  for (const char* file : {"English.lng", "Japanese.lng"}) {
    StartWindow(file);
    Connect();
    CPanel* panel = OpenPanel(ids::function_keys::kSensorCalButton);
    Click(panel, sc::kReadDataButton);
    for (QLabel* label : panel->findChildren<QLabel*>()) {
      EXPECT_FALSE(label->text().isEmpty()) << file << " " << ControlId(label);
      EXPECT_GE(label->width(), label->sizeHint().width()) << label->text().toStdString();
    }
    for (QPushButton* button : panel->findChildren<QPushButton*>()) {
      EXPECT_EQ(button->accessibleName(), button->text());
      EXPECT_GE(button->width(), button->sizeHint().width()) << button->text().toStdString();
    }
    const QString pictures = qEnvironmentVariable("VA5VIVI_SCREENSHOT_DIR");
    if (!pictures.isEmpty())
      window_->grab().save(QDir(pictures).filePath(
          QString("sensor-calib-%1.png").arg(QString(file).left(2).toLower())));
  }
}

}  // namespace
}  // namespace va5
