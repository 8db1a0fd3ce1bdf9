// What the window says when something goes wrong, against the simulated transmitter: every
// refusal names the command and the device's answer, a failed entry keeps what was typed, a
// value that is no number reads as such, and the configuration editor uploads only the model
// whose configuration it holds, keeping texts as the device will.
#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <functional>
#include <string>
#include <vector>

#include "gui/LblColor.h"
#include "gui/Localise.h"
#include "gui/config/ConfigEditor.h"
#include "gui/config/ConfigPage.h"
#include "gui/config/FileProperty.h"
#include "gui/panels/ConnectDevice.h"
#include "gui/panels/DetailedInfo.h"
#include "gui/panels/SensorInfo.h"
#include "lang/ControlIds.h"
#include "tests/gui/PanelTestSupport.h"

namespace va5 {
namespace {

namespace si = ids::sensor_info;
namespace di = ids::detailed_info;
namespace cp = ids::connect_panel;
namespace p1 = ids::config_page1;
namespace fk = ids::function_keys;
using Kind = sim::Fault::Kind;
using test::Cancel;
using test::Enter;
using test::ModalScript;
using test::Questions;
using test::UIText;

class MessagesTest : public test::ConnectedWindowTest {
 protected:
  // On the bench: the loop question (LoopSafetyTest asks it) would come before the boxes
  // these tests read.
  void SetUp() override {
    test::ConnectedWindowTest::SetUp();
    settings_->SetConfirmLoopChange(false);
    settings_->SaveConfirmLoopChange();
  }
  CSensorInfo* SensorPanel() const { return window_->findChild<CSensorInfo*>(); }
  CDetailedInfo* DetailPanel() {
    return qobject_cast<CDetailedInfo*>(OpenPanel(fk::kDeviceInfoButton));
  }
};

// ---- refusals ------------------------------------------------------------------------------

struct Refusal {
  const char* name;
  sim::Fault fault;
  std::function<void(MessagesTest&)> act;
  const char* key;
  std::vector<std::string> args;
};

void PrintTo(const Refusal& r, std::ostream* out) { *out << r.name; }

class RefusalTest : public MessagesTest, public ::testing::WithParamInterface<Refusal> {
 public:
  void WriteDamping() { Click(SensorPanel(), si::kDampingButton, {Enter("3")}); }
  void WriteRange() { Click(SensorPanel(), si::kPvRangeButton, {Enter("150"), Enter("-20")}); }
  void WriteMessage() { Click(DetailPanel(), di::kMessageButton, {Enter("CHECKED")}); }
  void ConnectAgain() {
    Key(fk::kConnectButton)->click();
    window_->ConnectPanel()->Button(cp::kConnectButton)->click();
    ASSERT_TRUE(WaitIdle());
  }
};

const Refusal kRefusals[] = {
    {"WriteProtectedDamping",
     {.kind = Kind::ResponseCode, .command = 34, .value = 7},
     [](MessagesTest& t) { static_cast<RefusalTest&>(t).WriteDamping(); },
     "Err_CMD",
     {"34 (Write damping value)", "7", "the device is in write-protect mode"}},
    {"RangeLowerValueTooHigh",
     {.kind = Kind::ResponseCode, .command = 35, .value = 9},
     [](MessagesTest& t) { static_cast<RefusalTest&>(t).WriteRange(); },
     "Err_CMD",
     {"35 (Write range values)", "9", "lower range value too high"}},
    {"MessageHeardGarbled",
     {.kind = Kind::CommError, .command = 17, .value = 0x28},
     [](MessagesTest& t) { static_cast<RefusalTest&>(t).WriteMessage(); },
     "Err_CMD_Comm_Error",
     {"17 (Write message)", "overrun error, longitudinal parity error"}},
    {"IdentifyRefused",
     {.kind = Kind::ResponseCode, .command = 0, .value = 64},
     [](MessagesTest& t) { static_cast<RefusalTest&>(t).ConnectAgain(); },
     // Then the refusal itself, as Err_CMD tells it in the loaded language (added below).
     "Err_Identify_Refused",
     {"SIM9", "0"}},
    {"SilentDeviceNamesPortAndAddress",
     {.kind = Kind::Silence, .command = 17},
     [](MessagesTest& t) { static_cast<RefusalTest&>(t).WriteMessage(); },
     "Err_COM",
     {"SIM9", "0"}},
};

TEST_P(RefusalTest, TheBoxNamesTheCommandAndTheAnswer) {
  const Refusal& refusal = GetParam();
  const bool identify = refusal.fault.command == 0;
  if (!identify) Connect();
  Questions questions;
  sim_.InjectFault(refusal.fault);
  refusal.act(*this);
  std::vector<std::string> args = refusal.args;
  if (identify) {
    args.push_back(
        UIText("Err_CMD", {"0 (Read unique identifier)", "64", "command not implemented"})
            .toStdString());
  }
  const QString expected = UIText(refusal.key, args);
  ASSERT_FALSE(expected.isEmpty()) << "the language file has " << refusal.key;
  ASSERT_FALSE(questions.Seen().empty());
  EXPECT_EQ(questions.Seen().front().text, expected);
  EXPECT_FALSE(expected.contains(QLatin1Char('%'))) << "every insert filled";
  EXPECT_EQ(questions.Seen().size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Window, RefusalTest, ::testing::ValuesIn(kRefusals),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- entries that fail keep what was typed --------------------------------------------------

// Notes the text an entry opened with, then types `text` (or cancels when it is empty).
ModalScript::Action NoteThenEnter(std::vector<QString>* starts, const QString& text) {
  return [starts, text](QDialog& dialog) {
    starts->push_back(dialog.findChild<QLineEdit*>()->text());
    if (text.isEmpty()) {
      Cancel()(dialog);
    } else {
      Enter(text)(dialog);
    }
  };
}

struct KeptEntry {
  const char* name;
  int key;  // the function key of the panel; 0 for the sensor panel on the home view
  int button;
  std::vector<QString> typed;  // the entries up to the refusal
  const char* box;             // the refusal's UIMsg key
  std::vector<std::string> args;
  std::vector<QString> reopened;   // what the entries open with next
  std::vector<QString> corrected;  // typed then ("" cancels)
};

void PrintTo(const KeptEntry& e, std::ostream* out) { *out << e.name; }

class KeptEntryTest : public MessagesTest, public ::testing::WithParamInterface<KeptEntry> {};

const KeptEntry kKeptEntries[] = {
    // The sensor's minimum span is 25 degC: both range values come back as typed.
    {"SpanTooSmallKeepsBothRangeValues",
     0,
     si::kPvRangeButton,
     {"100", "90"},
     "Err_Span",
     {"25.00", "degC"},
     {"100", "90"},
     {"100", ""}},
    // The tag was accepted; the descriptor comes back with the character named.
    {"BadDescriptorCharacterKeepsTheTag",
     fk::kDeviceInfoButton,
     di::kTagButton,
     {"ok", "A~B"},
     "Err_No_Packed_ASCII",
     {"~"},
     {"A~B"},
     {"GOOD"}},
};

TEST_P(KeptEntryTest, TheEntryOpensAgainWithWhatWasTyped) {
  const KeptEntry& e = GetParam();
  sim_.Modify([](sim::DeviceState& s) { s.sensorType = 137, s.sensorWires = 2; });  // Type K
  Connect();
  QWidget* panel = e.key == 0 ? static_cast<QWidget*>(SensorPanel()) : OpenPanel(e.key);
  ASSERT_NE(panel, nullptr);
  Questions questions;
  std::deque<ModalScript::Action> actions;
  for (const QString& text : e.typed) actions.push_back(Enter(text));
  std::vector<QString> starts;
  for (const QString& text : e.corrected) actions.push_back(NoteThenEnter(&starts, text));
  if (e.button == di::kTagButton) actions.push_back(Enter("2024/05/06"));  // the date, last
  log_.Clear();
  Click(panel, e.button, actions);
  ASSERT_EQ(questions.Seen().size(), 1u);
  EXPECT_EQ(questions.Seen()[0].text, UIText(e.box, e.args));
  EXPECT_EQ(starts, e.reopened);
  if (e.button == di::kTagButton) {
    // The accepted tag went with the corrected descriptor, in one write.
    EXPECT_EQ(log_.Requests(), std::vector<int>{18});
    EXPECT_EQ(sim_.State().tag, "OK      ");
    EXPECT_EQ(sim_.State().descriptor, "GOOD" + std::string(12, ' '));
    EXPECT_EQ(sim_.State().day, 6);
  } else {
    EXPECT_TRUE(log_.Requests().empty());
  }
}

INSTANTIATE_TEST_SUITE_P(Window, KeptEntryTest, ::testing::ValuesIn(kKeptEntries),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- the search ------------------------------------------------------------------------------

TEST_F(MessagesTest, ASearchSaysTheAddressItKeepsForConnect) {
  sim_.Modify([](sim::DeviceState& s) { s.pollingAddress = 5; });
  window_->ConnectPanel()->SetAddress(2);
  Questions questions;  // the question is answered Cancel: the search stops
  Key(fk::kConnectButton)->click();
  window_->ConnectPanel()->Button(cp::kSearchButton)->click();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !questions.Seen().empty(); }, 20000));
  ASSERT_TRUE(WaitIdle());
  EXPECT_EQ(questions.Seen()[0].text, UIText("Confr_Search_Address", {"5", "6"}));
  EXPECT_EQ(window_->ConnectPanel()->Address(), 5);
}

// ---- no number -------------------------------------------------------------------------------

TEST_F(MessagesTest, AValueThatIsNoNumberReadsAsNoValue) {
  QLabel label;
  for (const char* text : {"nan", "-nan", " nan", "nan degC", "-inf", "+Inf", "NaN"}) {
    SetShownValue(&label, QString::fromLatin1(text));
    EXPECT_EQ(label.text(), "No value") << text;
    EXPECT_EQ(label.accessibleDescription(), "No value") << text;
  }
  // Texts that merely look alike stay: an upper-case tag, a number, a word.
  for (const char* text : {"NAN", "12.5 degC", "information", "infinite loop"}) {
    SetShownValue(&label, QString::fromLatin1(text));
    EXPECT_EQ(label.text(), text);
  }
}

// ---- the configuration editor ----------------------------------------------------------------

class EditorTest : public MessagesTest {
 protected:
  CFileProperty* OpenEditor() {
    Key(fk::kFileButton)->click();
    auto* editor = window_->findChild<CConfigEditor*>();
    return editor != nullptr ? editor->Page1() : nullptr;
  }
};

TEST_F(EditorTest, UploadOfAnotherModelSaysSoAndReadsNothingMore) {
  sim_.Modify([](sim::DeviceState& s) { s.deviceType = 4; });  // model "TQ5R2"
  CFileProperty* page = OpenEditor();
  ASSERT_NE(page, nullptr);
  Questions questions;
  log_.Clear();
  Click(page, p1::kUploadButton);
  EXPECT_EQ(log_.Requests(), std::vector<int>{0});
  ASSERT_EQ(questions.Seen().size(), 1u);
  EXPECT_EQ(questions.Seen()[0].text, UIText("Err_Device_Not_Configurable", {"TQ5R2"}));
  EXPECT_EQ(TextOf(page, p1::kTagDevice), "");
  EXPECT_EQ(window_->CurrentSession(), nullptr);
  EXPECT_TRUE(window_->InputEnabled());

  // The model the editor holds is uploaded as before.
  sim_.Modify([](sim::DeviceState& s) { s.deviceType = 2; });
  Click(page, p1::kUploadButton);
  EXPECT_EQ(TextOf(page, p1::kTagDevice), "TT-101");
  EXPECT_EQ(questions.Seen().size(), 1u);
}

TEST_F(EditorTest, TextsTypedInLowerCaseAreHeldAsTheDeviceHoldsThem) {
  CFileProperty* page = OpenEditor();
  ASSERT_NE(page, nullptr);
  Questions questions;
  Click(page, p1::kUploadButton);
  Click(page, p1::kTagFileChange, {Enter("file tag")});
  EXPECT_EQ(TextOf(page, p1::kTagFile), "FILE TAG");
  Click(page, p1::kTagDeviceChange, {Enter("low-tag")});
  Click(page, p1::kDescriptorDeviceChange, {Enter("inlet temp")});
  EXPECT_EQ(TextOf(page, p1::kTagDevice), "LOW-TAG");
  EXPECT_EQ(TextOf(page, p1::kDescriptorDevice), "INLET TEMP");

  // The file keeps what was typed; after the download the device column shows what the
  // device holds, and a compare finds the two equal.
  Click(page, p1::kCopyAllToFileButton);
  Click(page, p1::kDownloadButton);
  EXPECT_EQ(sim_.State().tag, "LOW-TAG ");
  Click(page, p1::kCompareDeviceButton);
  EXPECT_EQ(page->Value(p1::kTagDevice)->Background(), page->ButtonFace());
  EXPECT_EQ(page->Value(p1::kDescriptorDevice)->Background(), page->ButtonFace());
  EXPECT_TRUE(questions.Seen().empty());
}

}  // namespace
}  // namespace va5
