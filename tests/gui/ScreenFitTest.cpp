// The window on a small screen: every view the technician can open, opened twice, keeps the
// main window, the function keys and the view's own buttons inside the screen, and the window
// keeps the width it opened with. ctest runs it on a 1024x768 screen and on a 1280x800 screen
// at scale 1.5 (VA5VIVI_SCREEN names the screen's size in device-independent pixels, so a
// configuration the platform ignored fails instead of passing on its default screen).
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTest>

#include "gui/FunctionKeys.h"
#include "gui/Localise.h"
#include "gui/ScreenFit.h"
#include "gui/TrafficMonitor.h"
#include "gui/config/ConfigEditor.h"
#include "gui/display/DisplayArea.h"
#include "gui/graph/CustomGraph.h"
#include "gui/graph/LineGraph.h"
#include "gui/graph/TrendGraph.h"
#include "gui/panels/TableEditor.h"
#include "lang/ControlIds.h"
#include "tests/gui/PanelTestSupport.h"

namespace va5 {
namespace {

namespace fk = ids::function_keys;
namespace te = ids::table_editor;

QString SizeText(QSize size) {
  return QStringLiteral("%1x%2").arg(size.width()).arg(size.height());
}

std::string RectText(QRect r) {
  return SizeText(r.size()).toStdString() + "+" + std::to_string(r.x()) + "+" +
         std::to_string(r.y());
}

class ScreenFitTest : public test::ConnectedWindowTest {
 protected:
  void SetUp() override {
    sim_.Modify([](sim::DeviceState& s) {
      s.rtdTable.size = 4;
      s.rtdTable.minimum = -50;
      s.rtdTable.step = 25;
      s.rtdTable.configured = true;
      s.rtdTable.values = {80.5f, 90.25f, 100.0f, 109.75f};
      s.rtdTable.written.assign(4, true);
    });
    test::ConnectedWindowTest::SetUp();
  }

  // The main window, the visible function keys and every visible button of the window lie
  // inside the screen's available area; the window has its first width.
  void ExpectInside(const std::string& view) {
    SCOPED_TRACE(view);
    QTest::qWait(20);
    const QRect area = window_->screen()->availableGeometry();
    EXPECT_TRUE(area.contains(window_->frameGeometry()))
        << RectText(window_->frameGeometry()) << " in " << RectText(area);
    // It never widens; on a short screen it may grow downwards as far as the screen goes
    // while a table transfer shows its progress.
    EXPECT_EQ(window_->width(), firstSize_.width()) << "the window changed its width";
    QWidgetList controls;
    if (window_->FunctionKeys()->isVisible()) {
      controls = window_->FunctionKeys()->findChildren<QWidget*>();
      EXPECT_TRUE(window_->FunctionKeys()->Key(fk::kExitButton)->isVisible());
    }
    for (QAbstractButton* button : window_->findChildren<QAbstractButton*>()) {
      controls.push_back(button);
    }
    for (QWidget* control : controls) {
      if (!control->isVisible() || control->isWindow()) continue;
      const QRect global(control->mapToGlobal(QPoint(0, 0)), control->size());
      EXPECT_TRUE(area.contains(global))
          << control->metaObject()->className() << " '"
          << control->property("text").toString().toStdString() << "' at " << RectText(global);
    }
  }

  void ExpectWindowInside(QWidget* window, const std::string& name) {
    SCOPED_TRACE(name);
    QTest::qWait(20);
    const QRect area = window->screen()->availableGeometry();
    EXPECT_TRUE(area.contains(window->frameGeometry()))
        << RectText(window->frameGeometry()) << " in " << RectText(area);
  }

  QSize firstSize_;
};

TEST_F(ScreenFitTest, EveryViewOpensTwiceInsideTheScreenWithoutGrowingTheWindow) {
  const QString screen = qEnvironmentVariable("VA5VIVI_SCREEN");
  if (!screen.isEmpty()) {
    ASSERT_EQ(SizeText(QGuiApplication::primaryScreen()->geometry().size()), screen);
  }
  firstSize_ = window_->size();
  ExpectInside("off line");
  auto* display = window_->findChild<CDisplayArea*>();
  auto* trend = window_->findChild<CTrendGraph*>();
  ASSERT_NE(display, nullptr);
  ASSERT_NE(trend, nullptr);
  const std::vector<int> panels = {
      fk::kConnectButton,        fk::kDiagnosticsButton, fk::kDeviceInfoButton,
      fk::kAnalogOutputButton,   fk::kTrimDacButton,     fk::kSensorCalButton,
      fk::kCustomTcButton,       fk::kCustomRtdButton,   fk::kSpecialCurveButton,
      fk::kPollingAddressButton, fk::kLanguageButton};
  for (int round = 1; round <= 2; ++round) {
    SCOPED_TRACE(round);
    Connect();
    ExpectInside("home");
    for (int key : panels) {
      if (!Key(key)->isEnabled()) continue;
      OpenPanel(key);
      ExpectInside("panel " + Key(key)->text().toStdString());
      window_->ShowHome();
    }

    display->GraphButton(CDisplayArea::kPv)->click();
    ASSERT_EQ(window_->CurrentGraph(), trend);
    trend->Button(ids::trend_graph::kStartButton)->click();
    EXPECT_TRUE(QTest::qWaitFor([&] { return trend->Graph()->Series().Size() >= 3; }, 5000));
    ExpectInside("trend graph");
    trend->Button(ids::trend_graph::kCloseButton)->click();

    auto* rtd = qobject_cast<CTableEditor*>(OpenPanel(fk::kCustomRtdButton));
    ASSERT_NE(rtd, nullptr);
    Click(rtd, te::kReadDeviceButton);
    Click(rtd, te::kGraphButton);
    ASSERT_TRUE(rtd->Graph()->isVisible());
    ExpectInside("table graph");
    rtd->Graph()->CloseButton()->click();
    window_->ShowHome();

    window_->TrafficMonitorAction()->trigger();
    ExpectWindowInside(window_->TrafficMonitor(), "traffic monitor");
    window_->TrafficMonitor()->close();

    {
      test::Questions questions;  // the device is let go
      questions.Answer(test::UIText("Confr_Editor_Disconnect"), {kAnswerYes});
      Key(fk::kFileButton)->click();
    }
    ASSERT_NE(window_->FileEditorPage(), nullptr);
    ExpectInside("configuration editor");
    window_->ShowHome();
  }
}

// A window larger than the screen is brought inside it whole, and a small one keeps its size.
TEST(ScreenFitHelperTest, FittedSizeKeepsTheFrameInsideTheArea) {
  const QRect area(0, 0, 1024, 740);
  const QMargins frame(4, 30, 4, 4);
  struct Row {
    QSize wanted;
    QSize fitted;
  } rows[] = {{{900, 560}, {900, 560}},
              {{1320, 600}, {1016, 600}},
              {{800, 900}, {800, 706}},
              {{2000, 2000}, {1016, 706}}};
  for (const Row& row : rows) {
    EXPECT_EQ(FittedSize(row.wanted, area, frame), row.fitted)
        << SizeText(row.wanted).toStdString();
  }
  // The frame's corner: moved back when the frame runs over an edge, else where it is.
  EXPECT_EQ(FittedPosition(QRect(600, 300, 600, 500), area, frame), QPoint(416, 206));
  EXPECT_EQ(FittedPosition(QRect(-50, 10, 300, 200), area, frame), QPoint(0, 0));
  EXPECT_EQ(FittedPosition(QRect(40, 50, 300, 200), area, frame), QPoint(36, 20));
}

// A value wider than its label is elided with the whole of it in the tooltip, follows the
// label's width, never widens its row, and leaves a tooltip of someone else's alone.
TEST(ShownValueTest, LongValuesAreElidedWithTheWholeTextInTheTooltip) {
  QWidget row;
  auto* layout = new QHBoxLayout(&row);
  auto* caption = new QLabel(QStringLiteral("Descriptor"), &row);
  auto* value = new QLabel(&row);
  layout->addWidget(caption);
  layout->addWidget(value, 1);
  const QString longValue = QStringLiteral("A DESCRIPTOR OF SIXTEEN CHARACTERS, AND MORE");
  SetShownValue(value, longValue);  // hidden: the whole text until it is laid out
  EXPECT_EQ(value->text(), longValue);
  row.resize(200, 40);
  row.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&row));
  struct Case {
    int width;
    bool elided;
  } cases[] = {{200, true}, {2000, false}, {160, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.width);
    row.resize(c.width, 40);
    QApplication::processEvents();
    EXPECT_EQ(ShownValue(value), longValue);
    EXPECT_EQ(value->accessibleDescription(), longValue);
    EXPECT_LE(value->fontMetrics().horizontalAdvance(value->text()), value->contentsRect().width());
    EXPECT_EQ(value->text() != longValue, c.elided) << value->text().toStdString();
    EXPECT_EQ(value->toolTip(), c.elided ? longValue : QString());
    EXPECT_LE(row.minimumSizeHint().width(), 200);  // the value never widens its row
  }
  value->setToolTip(QStringLiteral("Written at 10:00"));
  SetShownValue(value, longValue + longValue);
  EXPECT_EQ(value->toolTip(), QStringLiteral("Written at 10:00"));
}

}  // namespace
}  // namespace va5
