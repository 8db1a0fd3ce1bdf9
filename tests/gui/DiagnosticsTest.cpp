// The diagnostics panel in the assembled main window against the simulated transmitter: the
// self test and its question, the lamps from the additional status, and what a refusal or a
// lost device leaves behind.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QPalette>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <memory>

#include "gui/LblColor.h"
#include "gui/Localise.h"
#include "gui/Panel.h"
#include "lang/ControlIds.h"
#include "tests/gui/PanelTestSupport.h"

namespace va5 {
namespace {

namespace dg = ids::diagnostics;
namespace fk = ids::function_keys;
using test::UIText;
using Flags = std::vector<bool>;

class DiagnosticsTest : public test::ConnectedWindowTest {
 protected:
  CPanel* Open() {
    Connect();
    return OpenPanel(fk::kDiagnosticsButton);
  }
  static CLblColor* Lamp(QWidget* panel, int index) {
    for (auto* lamp : panel->findChildren<CLblColor*>())
      if (ControlId(lamp) == dg::kBasicSumLamp + index) return lamp;
    return nullptr;
  }
  static std::vector<QColor> Lamps(QWidget* panel) {
    std::vector<QColor> colours;
    for (int i = 0; i < 6; ++i) colours.push_back(Lamp(panel, i)->Background());
    return colours;
  }
  static Flags Enabled(QWidget* panel) {
    Flags on;
    for (int id :
         {dg::kExecuteButton, dg::kResetConfigFlagButton, dg::kReadStatusButton, dg::kCloseButton})
      on.push_back(ButtonOf(panel, id)->isEnabled());
    return on;
  }
  const QColor face_ = QApplication::palette().color(QPalette::Button);
};

TEST_F(DiagnosticsTest, SelfTestAsksWaitsAndLightsTheLampsFromByteTwo) {
  sim_.Modify([](sim::DeviceState& s) { s.additionalStatus[2] = 0x41; });
  CPanel* panel = Open();
  test::Questions questions;
  EXPECT_EQ(Lamps(panel), std::vector<QColor>(6, face_));
  EXPECT_TRUE(ButtonOf(panel, dg::kCloseButton)->hasFocus());

  questions.Answer(UIText("Confr_Execute_Diagnostics"), {kAnswerNo, kAnswerYes});
  log_.Clear();
  Click(panel, dg::kExecuteButton);
  EXPECT_TRUE(log_.Requests().empty());
  EXPECT_EQ(Enabled(panel), Flags(4, true));

  // Yes: the four buttons wait for the status read that follows the self test.
  ButtonOf(panel, dg::kExecuteButton)->click();
  EXPECT_EQ(Enabled(panel), Flags(4, false));
  EXPECT_TRUE(WaitIdle());
  EXPECT_EQ(log_.Requests(), (std::vector<int>{41, 48}));
  std::chrono::steady_clock::time_point selfTest, status;
  for (const test::SentFrame& f : log_.Frames()) {
    if (f.command == 41) selfTest = f.at;
    if (f.command == 48) status = f.at;
  }
  EXPECT_GE(status - selfTest, timing_.selfTestWait);
  EXPECT_EQ(Enabled(panel), Flags(4, true));
  const QColor red(255, 0, 0), green(64, 191, 0);
  EXPECT_EQ(Lamps(panel), (std::vector<QColor>{red, green, green, green, red, green}));
  EXPECT_EQ(questions.Seen().size(), 2u);
  const QString pictures = qEnvironmentVariable("VA5VIVI_SCREENSHOT_DIR");
  if (!pictures.isEmpty()) window_->grab().save(QDir(pictures).filePath("diagnostics-en.png"));

  // Shown again, the lamps wait for a new reading.
  ButtonOf(panel, dg::kCloseButton)->click();
  EXPECT_EQ(Lamps(OpenPanel(fk::kDiagnosticsButton)), std::vector<QColor>(6, face_));
}

// A refusal (208) leaves the panel usable and the poll running; a silent device (209, "Err_COM"
// answered with Cancel) takes the window off line and home.
TEST_F(DiagnosticsTest, ARefusalLeavesThePanelUsableAndALostDeviceClosesIt) {
  CPanel* panel = Open();
  test::Questions questions;
  questions.Answer(UIText("Confr_Execute_Diagnostics"), {kAnswerYes});
  sim_.InjectFault({.kind = sim::Fault::Kind::ResponseCode,
                    .count = 1,
                    .command = 41,
                    .value = sim::RcInvalidSelection});
  log_.Clear();
  Click(panel, dg::kExecuteButton);
  EXPECT_EQ(log_.Requests(), std::vector<int>{41});
  EXPECT_EQ(
      questions.Starting(UIText("Err_CMD", {"41 (Perform self test)", "2", "invalid selection"}))
          .size(),
      1u);
  EXPECT_EQ(Enabled(panel), Flags(4, true));
  EXPECT_EQ(Lamps(panel), std::vector<QColor>(6, face_));
  const int polls = log_.Count(3);
  EXPECT_TRUE(QTest::qWaitFor([&] { return log_.Count(3) >= polls + 2; }, 5000));

  sim_.InjectFault({.kind = sim::Fault::Kind::Silence, .count = -1, .command = 48});
  ButtonOf(panel, dg::kReadStatusButton)->click();
  EXPECT_TRUE(QTest::qWaitFor([&] { return !window_->Connected(); }, 20000));
  EXPECT_EQ(questions.Seen().size(), 3u);
  EXPECT_FALSE(panel->isVisible());
  EXPECT_EQ(window_->CurrentPanel(), nullptr);
  EXPECT_TRUE(Key(fk::kConnectButton)->isEnabled());
}

// Named and unclipped in both languages; pictures go to VA5VIVI_SCREENSHOT_DIR when it is set.
TEST_F(DiagnosticsTest, NamedAndUnclippedInBothLanguages) {
  for (const char* file : {"English.lng", "Japanese.lng"}) {
    StartWindow(file);
    CPanel* panel = Open();
    Click(panel, dg::kReadStatusButton);
    for (QLabel* label : panel->findChildren<QLabel*>())
      EXPECT_GE(label->width(), label->sizeHint().width()) << label->text().toStdString();
    for (QPushButton* button : panel->findChildren<QPushButton*>()) {
      EXPECT_EQ(button->accessibleName(), button->text());
      EXPECT_GE(button->width(), button->sizeHint().width()) << button->text().toStdString();
    }
    for (int i = 0; i < 6; ++i)
      EXPECT_EQ(Lamp(panel, i)->accessibleName(), TextOf(panel, dg::kBasicSumLabel + i));
    const QString pictures = qEnvironmentVariable("VA5VIVI_SCREENSHOT_DIR");
    if (!pictures.isEmpty())
      window_->grab().save(QDir(pictures).filePath(
          QString("diagnostics-%1.png").arg(QString(file).left(2).toLower())));
  }
}

}  // namespace
}  // namespace va5
