// What assistive technology reads of the window, asked through QAccessible as a screen reader
// asks: every value the window shows with its row, kept current; the configuration editor's
// buttons with their row and side; the status lamps with what they mean; and the standard
// buttons in the language of the texts.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAccessible>
#include <QCoreApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <ostream>
#include <set>

#include "gui/LblColor.h"
#include "gui/Localise.h"
#include "gui/MessageBox.h"
#include "gui/ValidateNumber.h"
#include "gui/config/ConfigEditor.h"
#include "gui/config/FileProperty.h"
#include "gui/display/DisplaySignal.h"
#include "gui/panels/SensorInfo.h"
#include "lang/ControlIds.h"
#include "lang/ResourceDatabase.h"
#include "tests/gui/GuiTestSupport.h"
#include "tests/gui/PanelTestSupport.h"

// Failures print texts as texts.
QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& text, std::ostream* out) {
  *out << '"' << text.toStdString() << '"';
}
QT_END_NAMESPACE

namespace va5 {
namespace {

namespace fk = ids::function_keys;
namespace p1 = ids::config_page1;
namespace si = ids::sensor_info;
namespace sid = ids::status_strip;
using test::Choose;
using test::Enter;

QString Read(QWidget* widget, QAccessible::Text what) {
  QAccessibleInterface* face = QAccessible::queryAccessibleInterface(widget);
  return face != nullptr ? face->text(what) : QString();
}

template <typename T>
T* WithId(QWidget* root, int id) {
  for (T* widget : root->findChildren<T*>())
    if (ControlId(widget) == id) return widget;
  return nullptr;
}

// Every text a label of `root` shows reaches a screen reader: as the label's name (a caption)
// or, where the name is the label's row, as its description (the whole value where the label
// shows it elided).
void ExpectEveryShownTextRead(QWidget* root, const char* where) {
  SCOPED_TRACE(where);
  int values = 0;
  for (QLabel* label : root->findChildren<QLabel*>()) {
    const QString shown = ShownValue(label).remove(QLatin1Char('&'));
    if (!label->isVisibleTo(root) || shown.isEmpty()) continue;
    const QString name = Read(label, QAccessible::Name);
    if (name == shown) continue;
    ++values;
    EXPECT_EQ(Read(label, QAccessible::Description), shown)
        << "control " << ControlId(label) << " named \"" << name.toStdString() << "\"";
  }
  EXPECT_GT(values, 0) << "no value label seen";
}

class AccessibilityTest : public test::ConnectedWindowTest {};

TEST_F(AccessibilityTest, EveryValueIsReadWithItsRowInEveryPanelAndFollowsAChange) {
  Connect();
  ExpectEveryShownTextRead(window_.get(), "home: sensor information, live display, status");
  for (int key : {fk::kDeviceInfoButton, fk::kSensorCalButton, fk::kCustomRtdButton,
                  fk::kSpecialCurveButton, fk::kPollingAddressButton, fk::kLanguageButton}) {
    ASSERT_NE(OpenPanel(key), nullptr) << key;
    ASSERT_TRUE(WaitIdle());
    ExpectEveryShownTextRead(window_.get(), qPrintable(QString::number(key)));
    window_->ShowHome();
  }

  // One row of each kind, by what it is called and what it says, after a write changed it.
  auto* sensor = window_->findChild<CSensorInfo*>();
  ASSERT_NE(sensor, nullptr);
  test::Questions questions;
  questions.Answer(test::UIText("Confr_Loop_Change"), {kAnswerYes});
  Click(sensor, si::kSensorTypeButton, {Choose("Type K")});
  ASSERT_TRUE(WaitMonitoring());
  auto* strip = window_->findChild<CDisplaySignal*>();
  ASSERT_NE(strip, nullptr);
  QWidget* pvUnit = WithId<QLabel>(window_.get(), ids::live_display::kPvUnit);
  CLblColor* configChanged = WithId<CLblColor>(strip, sid::kConfigChangedLamp);
  CLblColor* malfunction = WithId<CLblColor>(strip, sid::kMalfunctionLamp);
  const struct {
    QWidget* widget;
    const char* name;
    const char* description;
  } rows[] = {
      {sensor->ValueLabel(si::kSensorTypeValue), "Sensor Type", "Type K"},
      {sensor->ValueLabel(si::kSensorWireValue), "Sensor Wire", "2 Wires"},
      {pvUnit, "PV unit", "degC"},
      // The device notes the write in its status; the lamp says what it means.
      {configChanged, "CFG", "Configuration changed: red"},
      {malfunction, "MAL", "Device malfunction: off"},
  };
  for (const auto& row : rows) {
    ASSERT_NE(row.widget, nullptr) << row.name;
    EXPECT_EQ(Read(row.widget, QAccessible::Name), row.name);
    EXPECT_EQ(Read(row.widget, QAccessible::Description), row.description) << row.name;
  }
  EXPECT_EQ(configChanged->toolTip(), "Configuration changed");
}

TEST_F(AccessibilityTest, ConfigurationEditorButtonsSayTheirRowAndSide) {
  Connect();
  {
    test::Questions questions;  // the device is let go
    questions.Answer(test::UIText("Confr_Editor_Disconnect"), {kAnswerYes});
    Key(fk::kFileButton)->click();
  }
  auto* editor = window_->findChild<CConfigEditor*>();
  ASSERT_NE(editor, nullptr);
  CFileProperty* page = editor->Page1();
  ASSERT_TRUE(page->isVisible());

  const struct {
    int id;
    const char* name;
  } buttons[] = {
      {p1::kTagFileChange, "CHG Tag No. (File Configuration)"},
      {p1::kTagDeviceChange, "CHG Tag No. (Device Configuration)"},
      {p1::kTagToFile, "< Copy Tag No. to the file"},
      {p1::kTagToDevice, "Copy Tag No. to the device >"},
      // A button over two lines names both.
      {p1::kSensorFileChange, "CHG Sensor Type / Sensor Wires (File Configuration)"},
      {p1::kRangeDeviceChange, "CHG PV Upper Range / PV Lower Range (Device Configuration)"},
  };
  for (const auto& b : buttons) {
    EXPECT_EQ(Read(WithId<QPushButton>(page, b.id), QAccessible::Name), b.name) << b.id;
  }
  // Every "CHG", "<" and ">" of the page is told apart from the others by its name.
  std::set<QString> names;
  int changes = 0, arrows = 0;
  for (QPushButton* button : page->findChildren<QPushButton*>()) {
    const QString text = button->text();
    if (text != "CHG" && text != "<" && text != ">") continue;
    (text == "CHG" ? changes : arrows) += 1;
    EXPECT_TRUE(names.insert(Read(button, QAccessible::Name)).second)
        << "two buttons read \"" << Read(button, QAccessible::Name).toStdString() << "\"";
  }
  EXPECT_EQ(changes, 22);
  EXPECT_EQ(arrows, 20);

  // A value typed and copied is read on both sides with its row and column.
  Click(page, p1::kTagFileChange, {Enter("TT-9")});
  Click(page, p1::kTagToDevice);
  for (const auto& [id, name] : {std::pair{p1::kTagFile, "Tag No. (File Configuration)"},
                                 std::pair{p1::kTagDevice, "Tag No. (Device Configuration)"}}) {
    QWidget* value = WithId<QLabel>(page, id);
    EXPECT_EQ(Read(value, QAccessible::Name), name);
    EXPECT_EQ(Read(value, QAccessible::Description), "TT-9");
  }
  ExpectEveryShownTextRead(page, "configuration page 1");
}

// The buttons of a real message box and of an entry dialog, in the language loaded.
std::vector<QString> ButtonsOfBox(int style) {
  std::vector<QString> texts;
  QTimer timer;
  timer.setInterval(10);
  QObject::connect(&timer, &QTimer::timeout, [&] {
    QMessageBox* box = test::VisibleBox();
    if (box == nullptr) return;
    timer.stop();
    for (QAbstractButton* button : box->buttons()) texts.push_back(button->text());
    box->escapeButton()->click();
  });
  timer.start();
  MessageRequest request;
  request.text = QStringLiteral("?");
  request.style = style;
  ShowMessageRequest(request);
  return texts;
}

TEST(StandardButtons, FollowTheLanguageFileAndQtsOwnTextsFollowItsLocale) {
  const struct {
    const char* file;
    std::vector<QString> retryCancel, yesNo, entry;
    QString qtCancel;  // Qt's own caption, as its file dialogs show it
  } rows[] = {
      {"English.lng", {"Retry", "Cancel"}, {"Yes", "No"}, {"OK", "Cancel"}, "Cancel"},
      {"Japanese.lng",
       {QStringLiteral("再試行"), QStringLiteral("キャンセル")},
       {QStringLiteral("はい"), QStringLiteral("いいえ")},
       {"OK", QStringLiteral("キャンセル")},
       QStringLiteral("キャンセル")},
      // Back to English: Qt's translation is taken away again.
      {"English.lng", {"Retry", "Cancel"}, {"Yes", "No"}, {"OK", "Cancel"}, "Cancel"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.file);
    TheResourceDatabase().Load(row.file, {VA5VIVI_RESOURCES_DIR});
    ApplyQtTranslations(TheResourceDatabase());
    EXPECT_EQ(ButtonsOfBox(kStyleRetryCancelExclamation), row.retryCancel);
    EXPECT_EQ(ButtonsOfBox(kStyleYesNoQuestion), row.yesNo);
    CValidateNumber entry;
    EXPECT_EQ((std::vector<QString>{entry.OkButton()->text(), entry.CancelButton()->text()}),
              row.entry);
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), row.qtCancel);
  }
}

}  // namespace
}  // namespace va5
