// Safety on a live loop, in the assembled main window against the simulated transmitter: every
// write that can move the loop asks first with No as the default, the bench setting switches
// the question off, and a fixed output shows on the status strip and is offered back to normal
// before the device is left.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <functional>

#include "gui/Localise.h"
#include "gui/LoopGuard.h"
#include "gui/MessageBox.h"
#include "gui/SelectListBox.h"
#include "gui/config/ConfigEditor.h"
#include "gui/config/FileProperty.h"
#include "gui/display/DisplaySignal.h"
#include "gui/panels/ConnectDevice.h"
#include "gui/panels/LanguageSetting.h"
#include "gui/panels/PollingAddr.h"
#include "gui/panels/SensorInfo.h"
#include "lang/ControlIds.h"
#include "tests/gui/GuiTestSupport.h"
#include "tests/gui/PanelTestSupport.h"

namespace va5 {
namespace {

namespace fk = ids::function_keys;
namespace si = ids::sensor_info;
namespace ao = ids::analog_output;
namespace dt = ids::dac_trim;
namespace sc = ids::sensor_calib;
namespace pa = ids::polling_address;
using test::Choose;
using test::Enter;
using test::ModalScript;
using test::Questions;
using test::UIText;

constexpr int kNoDefault = kStyleYesNoQuestion | kStyleDefaultSecond;
constexpr const char* kLoop = "Confr_Loop_Change";

// Picks the entry after the one marked in a selection list: a value the device does not hold.
ModalScript::Action ChooseAnother() {
  return [](QDialog& dialog) {
    auto* list = qobject_cast<CSelectListBox*>(&dialog);
    ASSERT_NE(list, nullptr);
    list->List()->setCurrentRow((std::max(list->List()->currentRow(), 0) + 1) %
                                list->List()->count());
    list->OkButton()->click();
  };
}

class LoopSafetyTest : public test::ConnectedWindowTest {
 protected:
  // The panel of function key `key` from the home view (0: the sensor information panel).
  QWidget* PanelOf(int key) {
    window_->ShowHome();
    if (key == 0) return window_->findChild<CSensorInfo*>();
    if (key == fk::kPollingAddressButton) {
      Key(key)->click();
      return window_->PollingPanel();
    }
    return OpenPanel(key);
  }
  CDisplaySignal* Strip() const { return window_->findChild<CDisplaySignal*>(); }
  bool Sent(int command) const {
    const std::vector<int> requests = log_.Requests();
    return std::find(requests.begin(), requests.end(), command) != requests.end();
  }
};

TEST_F(LoopSafetyTest, EveryLoopWriteAsksOnceWithNoAsDefaultAndNoSendsNothing) {
  const QString loop = UIText("Confr_Loop_Change");
  const struct {
    const char* what;
    int key;  // 0: the sensor information panel of the home view
    int button;
    std::deque<ModalScript::Action> dialogs;
    const char* questionKey;  // what the box starts with
    int command;              // the write Yes sends
  } rows[] = {
      {"sensor type", 0, si::kSensorTypeButton, {Choose("Type K")}, kLoop, 131},
      {"PV unit", 0, si::kPvUnitButton, {Choose("degF")}, kLoop, 44},
      {"range", 0, si::kPvRangeButton, {Enter("90"), Enter("10")}, kLoop, 35},
      {"damping", 0, si::kDampingButton, {Enter("3")}, kLoop, 34},
      {"burnout", 0, si::kBurnoutButton, {ChooseAnother()}, kLoop, 135},
      {"transfer function", 0, si::kTransferFunctionButton, {Choose("SQRT")}, kLoop, 47},
      {"CJC mode", 0, si::kCjcModeButton, {ChooseAnother()}, kLoop, 133},
      {"fixed current", fk::kAnalogOutputButton, ao::kSetSpecifiedButton, {Enter("12")}, kLoop, 40},
      {"present current", fk::kAnalogOutputButton, ao::kSetFromPvButton, {}, kLoop, 40},
      {"trim mode", fk::kTrimDacButton, dt::kLowerTrimModeButton, {}, kLoop, 40},
      {"DAC trim", fk::kTrimDacButton, dt::kTrimMeasuredButton, {Enter("4.01")}, kLoop, 45},
      {"DAC trim clear", fk::kTrimDacButton, dt::kClearTrimButton, {}, "Confr_DAC_Init_Data", 158},
      {"sensor zero", fk::kSensorCalButton, sc::kZeroButton, {Enter("40")}, kLoop, 141},
      {"sensor calibration clear",
       fk::kSensorCalButton,
       sc::kClearDataButton,
       {},
       "Confr_Reset_SensorCal_Data",
       141},
      {"polling address", fk::kPollingAddressButton, pa::kWriteButton, {Enter("0")}, kLoop, 6},
  };
  Connect();
  int shownKey = -1;
  QWidget* panel = nullptr;
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    // Each panel is opened once for its rows: opened again, the DAC trim forgets its mode.
    if (row.key != shownKey) {
      panel = PanelOf(row.key);
      shownKey = row.key;
    }
    ASSERT_NE(panel, nullptr);
    const QString start = UIText(row.questionKey);
    {
      Questions no;
      no.Answer(start, {kAnswerNo});
      log_.Clear();
      Click(panel, row.button, row.dialogs);
      EXPECT_EQ(log_.Requests(), std::vector<int>{});
      ASSERT_EQ(no.Seen().size(), 1u);  // once per action
      EXPECT_TRUE(no.Seen()[0].text.startsWith(start));
      EXPECT_TRUE(no.Seen()[0].text.contains(loop));
      EXPECT_EQ(no.Seen()[0].style, kNoDefault);
    }
    {
      Questions yes;
      yes.Answer(start, {kAnswerYes});
      log_.Clear();
      Click(panel, row.button, row.dialogs);
      EXPECT_TRUE(Sent(row.command)) << ::testing::PrintToString(log_.Requests());
      EXPECT_EQ(yes.Seen().size(), 1u);
    }
    EXPECT_FALSE(window_->CurrentSession()->Holding());
  }
}

// For bench work the question is switched off: stored at once, the writes go without it, and
// a clear still asks its own question with No as the default.
TEST_F(LoopSafetyTest, TheBenchSettingSendsWithoutAskingButAClearStillAsksItsOwn) {
  Connect();
  auto* language = qobject_cast<CSetting*>(OpenPanel(fk::kLanguageButton));
  ASSERT_NE(language, nullptr);
  QCheckBox* box = language->LoopQuestionBox();
  EXPECT_TRUE(box->isChecked());  // on by default
  EXPECT_EQ(box->accessibleName(), DisplayText("Confirm_Loop_Change", ""));
  box->click();
  EXPECT_FALSE(CAppSettings::StoredConfirmLoopChange());
  CAppSettings stored(QLocale(QLocale::English));
  stored.Load();
  EXPECT_FALSE(stored.ConfirmLoopChange());

  Questions questions;
  QWidget* sensor = PanelOf(0);
  log_.Clear();
  Click(sensor, si::kDampingButton, {Enter("2")});
  EXPECT_EQ(log_.Requests(), std::vector<int>{34});
  QWidget* output = PanelOf(fk::kAnalogOutputButton);
  Click(output, ao::kSetSpecifiedButton, {Enter("8")});
  EXPECT_FLOAT_EQ(test::FloatAt(log_.LastData(40), 0), 8.0f);
  EXPECT_TRUE(questions.Seen().empty());

  QWidget* calibration = PanelOf(fk::kSensorCalButton);
  log_.Clear();
  Click(calibration, sc::kClearDataButton);
  ASSERT_EQ(questions.Seen().size(), 1u);
  EXPECT_EQ(questions.Seen()[0].text, UIText("Confr_Reset_SensorCal_Data"));
  EXPECT_EQ(questions.Seen()[0].style, kNoDefault);
  EXPECT_EQ(log_.Count(141), 0);  // answered Cancel
}

// A fixed output shows on the strip with the device's answer until it is released; closing
// the panel offers the release (No keeps it), and so does Disconnect, whose Yes sends the
// exit before the link closes.
TEST_F(LoopSafetyTest, AFixedOutputShowsOnTheStripAndIsOfferedBackBeforeTheDeviceIsLeft) {
  Connect();
  Questions questions;
  questions.Answer(UIText("Confr_Loop_Change"), {kAnswerYes});
  questions.Answer(UIText("Confr_Output_Return", {"12.000"}), {kAnswerNo, kAnswerYes});
  // The job record of the fixed currents is not what this test keeps.
  questions.Answer(UIText("Confr_Save_Job").left(18), {kAnswerNo});
  CDisplaySignal* strip = Strip();
  ASSERT_NE(strip, nullptr);
  EXPECT_EQ(strip->FixedOutputText(), QString());

  QWidget* panel = PanelOf(fk::kAnalogOutputButton);
  Click(panel, ao::kSetSpecifiedButton, {Enter("12")});
  EXPECT_EQ(strip->FixedOutputText(), DisplayText("Output_Fixed", "", {"12.000"}));
  EXPECT_TRUE(strip->findChild<QWidget*>(QStringLiteral("outputFixed"))->isVisible());
  Click(panel, ao::kExitFixedModeButton);
  EXPECT_EQ(strip->FixedOutputText(), QString());
  EXPECT_FALSE(strip->findChild<QWidget*>(QStringLiteral("outputFixed"))->isVisible());

  // No on closing: the panel goes, the output stays fixed and the strip says so.
  Click(panel, ao::kSetSpecifiedButton, {Enter("12")});
  log_.Clear();
  Click(panel, ao::kCloseButton);
  EXPECT_EQ(window_->CurrentPanel(), nullptr);
  EXPECT_EQ(log_.Count(40), 0);
  EXPECT_TRUE(sim_.State().fixedCurrentMode);
  EXPECT_FALSE(strip->FixedOutputText().isEmpty());

  // Yes on Disconnect: command 40 with 0 goes out, then the link closes.
  log_.Clear();
  Key(fk::kConnectButton)->click();
  window_->ConnectPanel()->Button(ids::connect_panel::kDisconnectButton)->click();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !window_->Connected(); }, 10000));
  EXPECT_EQ(questions.Starting(UIText("Confr_Output_Return", {"12.000"})).size(), 2u);
  ASSERT_EQ(log_.Count(40), 1);
  EXPECT_EQ(test::FloatAt(log_.LastData(40), 0), 0.0f);
  EXPECT_FALSE(sim_.State().fixedCurrentMode);
  EXPECT_EQ(strip->FixedOutputText(), QString());
}

// The question's box itself: No is the button that Enter presses.
TEST_F(LoopSafetyTest, TheRealBoxHasNoAsItsDefaultButton) {
  QString defaultText;
  QTimer timer;
  timer.setInterval(10);
  QObject::connect(&timer, &QTimer::timeout, [&] {
    QMessageBox* box = test::VisibleBox();
    if (box == nullptr) return;
    timer.stop();
    defaultText = box->defaultButton() != nullptr ? box->defaultButton()->text() : QString();
    QTest::keyClick(box, Qt::Key_Return);
  });
  timer.start();
  EXPECT_FALSE(ConfirmLoopChange(window_.get(), nullptr));
  EXPECT_EQ(defaultText, StandardButtonText(StandardButton::No));
}

// A download asks once, listing what it changes against the device last uploaded; No opens
// no link at all.
TEST_F(LoopSafetyTest, ADownloadAsksOnceListingWhatItChanges) {
  Key(fk::kFileButton)->click();
  auto* editor = window_->findChild<CConfigEditor*>();
  ASSERT_NE(editor, nullptr);
  CFileProperty* page = editor->Page1();
  Click(page, ids::config_page1::kUploadButton);
  Click(page, ids::config_page1::kDampingDeviceChange, {Enter("6")});
  const QString start = UIText("Confr_Download_Changes");
  Questions questions;
  questions.Answer(start, {kAnswerNo, kAnswerYes});
  log_.Clear();
  Click(page, ids::config_page1::kDownloadButton);
  EXPECT_TRUE(log_.Frames().empty());
  ASSERT_EQ(questions.Seen().size(), 1u);
  const QString text = questions.Seen()[0].text;
  EXPECT_TRUE(text.startsWith(start));
  EXPECT_TRUE(text.contains(UIText("Confr_Loop_Change")));
  // The heading and the one row that differs, before the loop's paragraph.
  const QStringList changes = text.section(QStringLiteral("\n\n"), 0, 0).split(QLatin1Char('\n'));
  ASSERT_EQ(changes.size(), 2);
  EXPECT_EQ(changes[1], QStringLiteral("PV Damping: 2.000 \u2192 6.000"));  // held, written
  EXPECT_EQ(questions.Seen()[0].style, kNoDefault);

  Click(page, ids::config_page1::kDownloadButton);
  EXPECT_EQ(questions.Seen().size(), 2u);
  EXPECT_DOUBLE_EQ(sim_.State().damping, 6.0);
}

}  // namespace
}  // namespace va5
