// The detailed information panel in the assembled main window against the simulated
// transmitter: what the writes send, what the panel then shows, and the model rules.
#include "gui/panels/DetailedInfo.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "gui/EntryDialog.h"
#include "gui/Localise.h"
#include "gui/display/DisplayArea.h"
#include "lang/ControlIds.h"
#include "session/Setting.h"
#include "tests/gui/PanelTestSupport.h"

namespace va5 {
namespace {

namespace di = ids::detailed_info;
namespace fk = ids::function_keys;
using test::Cancel;
using test::Enter;
using test::Questions;
using test::UIText;

class DetailedInfoTest : public test::ConnectedWindowTest {
 protected:
  CDetailedInfo* Open() {
    auto* panel = qobject_cast<CDetailedInfo*>(OpenPanel(fk::kDeviceInfoButton));
    EXPECT_NE(panel, nullptr);
    return panel;
  }
  static QString Shown(CDetailedInfo* panel, int id) { return panel->Label(id)->text(); }
  bool Polling() {
    log_.Clear();
    return QTest::qWaitFor([&] { return log_.Count(3) > 0; }, 5000);
  }
};

TEST_F(DetailedInfoTest, TagIsSentInUpperCaseWithTheDateEnteredAndRefusedWhenItCannotPack) {
  Connect();
  Questions questions;
  CDetailedInfo* panel = Open();
  ASSERT_NE(panel, nullptr);
  EXPECT_EQ(Shown(panel, di::kTagValue), "TT-101");  // the padding is not shown
  EXPECT_EQ(Shown(panel, di::kDescriptorValue), "OUTLET TEMP");
  EXPECT_TRUE(ButtonOf(panel, di::kCloseButton)->hasFocus());

  // Cancel at the descriptor sends nothing, and the poll goes on.
  log_.Clear();
  Click(panel, di::kTagButton, {Enter("NEW"), Cancel()});
  EXPECT_EQ(log_.Count(18), 0);
  EXPECT_TRUE(Polling());

  // A tilde is plain ASCII but not packed ASCII; an accented letter is refused by the entry.
  Click(panel, di::kTagButton, {Enter("A~B")});
  EXPECT_EQ(questions.Starting(UIText("Err_No_Packed_ASCII", {"~"})).size(), 1u);
  Click(panel, di::kTagButton, {Enter(QStringLiteral("caf\u00e9")), Cancel()});
  EXPECT_EQ(questions.Starting(UIText("Err_Tag_Inalid_char", {"\u00e9"})).size(), 1u);
  EXPECT_EQ(log_.Count(18), 0);
  EXPECT_EQ(sim_.State().tag, "TT-101  ");

  // The date is asked last, today's date offered: OK as it stands sends today's.
  sim_.Modify([](sim::DeviceState& s) { s.day = 1, s.month = 2, s.yearOffset = 100; });
  log_.Clear();
  QString offered;
  const test::ModalScript::Action asOffered = [&offered](QDialog& dialog) {
    auto* entry = qobject_cast<CEntryDialog*>(&dialog);
    ASSERT_NE(entry, nullptr);
    offered = entry->Edit()->text();
    entry->OkButton()->click();
  };
  Click(panel, di::kTagButton, {Enter("ab"), Enter("x"), asOffered});
  EXPECT_EQ(offered.toStdString(), session::TodayText());
  EXPECT_EQ(log_.Requests(), std::vector<int>{18});
  const sim::DeviceState state = sim_.State();
  EXPECT_EQ(state.tag, "AB      ");
  EXPECT_EQ(state.descriptor, "X" + std::string(15, ' '));
  const std::string today = session::TodayText();
  EXPECT_EQ(QString::asprintf("%04d/%02d/%02d", state.yearOffset + 1900, state.month, state.day)
                .toStdString(),
            today);
  EXPECT_EQ(Shown(panel, di::kTagValue), "AB");
  EXPECT_EQ(Shown(panel, di::kDescriptorValue), "X");
  EXPECT_EQ(Shown(panel, di::kDateValue).toStdString(), today);
  EXPECT_TRUE(Polling());

  // A date changed before the write is written as entered; Cancel at the date sends nothing.
  log_.Clear();
  Click(panel, di::kTagButton, {Enter("ab"), Enter("x"), Cancel()});
  EXPECT_EQ(log_.Count(18), 0);
  Click(panel, di::kTagButton, {Enter("ab"), Enter("x"), Enter("2031-07-15")});
  EXPECT_EQ(log_.Count(18), 1);
  const sim::DeviceState dated = sim_.State();
  EXPECT_EQ(dated.yearOffset + 1900, 2031);
  EXPECT_EQ(dated.month, 7);
  EXPECT_EQ(dated.day, 15);
  EXPECT_EQ(Shown(panel, di::kDateValue), "2031/07/15");
}

// The live display keeps one width whichever panel is shown and whatever the panel holds:
// a descriptor of sixteen wide letters does not squeeze the gauges, in either language.
TEST_F(DetailedInfoTest, TheLiveDisplayKeepsItsWidthWhateverThePanelShows) {
  sim_.Modify([](sim::DeviceState& s) { s.descriptor = std::string(16, 'W'); });
  Connect();
  auto* display = window_->findChild<CDisplayArea*>();
  ASSERT_NE(display, nullptr);
  for (const char* file : {"English.lng", "Japanese.lng"}) {
    SCOPED_TRACE(file);
    settings_->SetLanguageFile(QString::fromUtf8(file));
    window_->ReloadLanguage(false);
    window_->ShowHome();
    QTest::qWait(20);
    const int width = display->width();
    for (int key : {fk::kDeviceInfoButton, fk::kConnectButton, fk::kDiagnosticsButton,
                    fk::kAnalogOutputButton, fk::kTrimDacButton, fk::kSensorCalButton,
                    fk::kCustomTcButton, fk::kCustomRtdButton, fk::kSpecialCurveButton,
                    fk::kPollingAddressButton, fk::kLanguageButton}) {
      OpenPanel(key);
      QTest::qWait(20);
      EXPECT_EQ(display->width(), width) << Key(key)->text().toStdString();
      window_->ShowHome();
    }
  }
}

TEST_F(DetailedInfoTest, FinalAssemblyNumberIsWrittenWithinItsThreeBytes) {
  Connect();
  Questions questions;
  CDetailedInfo* panel = Open();
  ASSERT_NE(panel, nullptr);
  EXPECT_EQ(Shown(panel, di::kFinalAssemblyValue), "100234");
  Click(panel, di::kFinalAssemblyButton, {Enter("16777216"), Cancel()});
  EXPECT_EQ(questions.Starting(UIText("Err_Range_Limits", {"16777216", "0", "16777215"})).size(),
            1u);
  EXPECT_EQ(log_.Count(19), 0);
  Click(panel, di::kFinalAssemblyButton, {Enter("16777215")});
  EXPECT_EQ(sim_.State().finalAssemblyNumber, 16777215u);
  EXPECT_EQ(Shown(panel, di::kFinalAssemblyValue), "16777215");
}

TEST_F(DetailedInfoTest, AnotherModelWritesOnlyTheMessage) {
  // Device type 4 of the same maker reads as model "TQ5R2".
  sim_.Modify([](sim::DeviceState& s) { s.deviceType = 4; });
  Connect();
  CDetailedInfo* panel = Open();
  ASSERT_NE(panel, nullptr);
  EXPECT_EQ(Shown(panel, di::kDeviceTypeValue), "TQ5R2");
  EXPECT_FALSE(ButtonOf(panel, di::kFinalAssemblyButton)->isEnabled());
  EXPECT_FALSE(ButtonOf(panel, di::kTagButton)->isEnabled());
  ASSERT_TRUE(ButtonOf(panel, di::kMessageButton)->isEnabled());
  Click(panel, di::kMessageButton, {Enter("loop 4 ok")});
  EXPECT_EQ(sim_.State().message, "LOOP 4 OK" + std::string(23, ' '));
  EXPECT_EQ(Shown(panel, di::kMessageValue), "LOOP 4 OK");
}

TEST_F(DetailedInfoTest, LinkLostDuringAWriteGoesOffLineAndHome) {
  Connect();
  Questions questions;
  questions.Answer(UIText("Err_COM", {"SIM9"}).left(20), {kAnswerCancel});
  CDetailedInfo* panel = Open();
  ASSERT_NE(panel, nullptr);
  sim_.InjectFault({.kind = sim::Fault::Kind::Silence, .command = 17});
  Click(panel, di::kMessageButton, {Enter("GONE")});
  EXPECT_EQ(questions.Starting(UIText("Err_COM", {"SIM9"}).left(20)).size(), 1u);
  EXPECT_GE(log_.Count(17), 2);  // the write was retried once before asking
  EXPECT_FALSE(window_->Connected());
  EXPECT_EQ(window_->CurrentPanel(), nullptr);
  EXPECT_FALSE(panel->isVisible());
  EXPECT_TRUE(window_->InputEnabled());
}

// Every caption in both languages, unclipped and named. Pictures of the whole window go to
// VA5VIVI_SCREENSHOT_DIR when it is set.
TEST_F(DetailedInfoTest, EveryRowIsNamedAndFitsInBothLanguages) {
  const QString pictures = qEnvironmentVariable("VA5VIVI_SCREENSHOT_DIR");
  for (const auto& [file, suffix] : {std::pair{"English.lng", "en"}, {"Japanese.lng", "ja"}}) {
    StartWindow(file);
    Connect();
    CDetailedInfo* panel = Open();
    ASSERT_NE(panel, nullptr);
    QApplication::processEvents();
    for (QPushButton* button : panel->findChildren<QPushButton*>()) {
      EXPECT_FALSE(button->text().isEmpty()) << file;
      EXPECT_EQ(button->accessibleName(), button->text());
      EXPECT_GE(button->width(), button->sizeHint().width()) << button->text().toStdString();
    }
    for (QLabel* label : panel->findChildren<QLabel*>()) {
      EXPECT_FALSE(label->text().isEmpty()) << file << " " << ControlId(label);
      // A value field is named after its row's caption.
      if (label->frameShape() == QFrame::Panel) {
        EXPECT_FALSE(label->accessibleName().isEmpty()) << file << " " << ControlId(label);
      }
      EXPECT_GE(label->width(), label->sizeHint().width()) << label->text().toStdString();
    }
    EXPECT_EQ(panel->Label(di::kMessageValue)->accessibleName(),
              ButtonOf(panel, di::kMessageButton)->text());
    if (!pictures.isEmpty()) {
      EXPECT_TRUE(window_->grab().save(QDir(pictures).filePath(
          QStringLiteral("detailed-info-%1.png").arg(QLatin1String(suffix)))));
    }
  }
}

}  // namespace
}  // namespace va5
