#include <gtest/gtest.h>

#include <QApplication>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QSettings>

#include "tests/gui/GuiTestSupport.h"
#include "gui/AppSettings.h"
#include "gui/FontManager.h"
#include "gui/LblColor.h"
#include "gui/Localise.h"
#include "gui/MessageBox.h"
#include "lang/PrivateException.h"
#include "lang/ResourceDatabase.h"
#include "gui/UnderLine.h"

namespace va5 {
namespace {

// ---- settings ------------------------------------------------------------------------------

class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override { Store().clear(); }
  void TearDown() override { Store().clear(); }
  static QSettings& Store() {
    static QSettings store(QStringLiteral("Kerrin"), QStringLiteral("VA5VIVI"));
    store.sync();
    return store;
  }
  static void Put(const QString& name, const QString& value) {
    QSettings store(QStringLiteral("Kerrin"), QStringLiteral("VA5VIVI"));
    store.setValue(QStringLiteral("Settings/") + name, value);
  }
};

TEST_F(SettingsTest, DefaultsFollowTheLocale) {
  CAppSettings japanese(QLocale(QLocale::Japanese, QLocale::Japan));
  japanese.Load();
  EXPECT_EQ(japanese.LanguageFile(), "Japanese.lng");
  EXPECT_EQ(japanese.LanguageName(), "Japanese");
  EXPECT_EQ(japanese.ComPort(), "COM1");
  EXPECT_EQ(japanese.PollingAddr(), "0");
  CAppSettings german(QLocale(QLocale::German, QLocale::Germany));
  german.Load();
  EXPECT_EQ(german.LanguageFile(), "English.lng");
  EXPECT_EQ(german.LanguageName(), "English");
}

TEST_F(SettingsTest, StoredLanguageIsKeptOnAnotherLocaleWithItsNameUnchanged) {
  Put("DisplayLanguage", "Japanese.lng");
  Put("DisplayLanguageName", "");
  Put("COMPort", "/dev/ttyUSB0");
  Put("PollingAddr", "x7");
  CAppSettings english(QLocale(QLocale::English, QLocale::UnitedStates));
  english.Load();
  EXPECT_EQ(english.LanguageFile(), "Japanese.lng");
  EXPECT_EQ(english.LanguageName(), "");  // stored empty: not replaced by a default
  EXPECT_EQ(english.ComPort(), "/dev/ttyUSB0");
  EXPECT_EQ(english.PollingAddr(), "x7");  // taken unchanged, checked where it is used
  // An empty stored language falls back to the locale and ignores the stored name.
  Put("DisplayLanguage", "");
  Put("DisplayLanguageName", "Klingon");
  english.Load();
  EXPECT_EQ(english.LanguageFile(), "English.lng");
  EXPECT_EQ(english.LanguageName(), "English");
}

TEST_F(SettingsTest, SaveWritesAllFourValues) {
  CAppSettings settings(QLocale(QLocale::Japanese, QLocale::Japan));
  settings.Load();
  settings.SetComPort("SIM1");
  settings.Save();
  QSettings store(QStringLiteral("Kerrin"), QStringLiteral("VA5VIVI"));
  store.beginGroup(QStringLiteral("Settings"));
  EXPECT_EQ(store.value("DisplayLanguage").toString(), "Japanese.lng");
  EXPECT_EQ(store.value("DisplayLanguageName").toString(), "Japanese");
  EXPECT_EQ(store.value("COMPort").toString(), "SIM1");
  EXPECT_EQ(store.value("PollingAddr").toString(), "0");
  // A later run on another locale reads them back.
  CAppSettings later(QLocale(QLocale::English, QLocale::UnitedStates));
  later.Load();
  EXPECT_EQ(later.LanguageFile(), "Japanese.lng");
  EXPECT_EQ(later.ComPort(), "SIM1");
}

// ---- localisation --------------------------------------------------------------------------

constexpr const char* kLayoutTexts = R"(<root><application>RA5DERI</application>
<filetype>language</filetype><language>L</language>
<gui name="150">
  <text name="0">Connect</text>
  <text name="1">Port</text>
  <text name="2">Connect Device</text>
  <text name="3">Modem</text>
  <text name="4">Nested</text>
  <text name="5"></text>
  <text name="77">No such control</text>
</gui></root>)";

TEST(LocaliseTest, AppliesTextsToDirectChildrenByControlId) {
  CResourceDatabase database;
  database.LoadText("L.lng", kLayoutTexts);
  QWidget window;
  window.setWindowTitle("built-in");
  auto* label = new QLabel("label", &window);
  auto* button = new QPushButton("button", &window);
  auto* group = new QGroupBox("group", &window);
  auto* nested = new QLabel("nested", group);
  auto* empty = new QLabel("keeps", &window);
  auto* unmarked = new QLabel("unmarked", &window);
  SetControlId(label, 1);
  SetControlId(button, 2);
  SetControlId(group, 3);
  SetControlId(nested, 4);
  SetControlId(empty, 5);
  EXPECT_EQ(ControlId(button), 2);
  EXPECT_EQ(ControlId(unmarked), -1);

  LocaliseWindow(database, 150, &window);
  EXPECT_EQ(window.windowTitle(), "Connect");
  EXPECT_EQ(label->text(), "Port");
  EXPECT_EQ(button->text(), "Connect Device");
  EXPECT_EQ(group->title(), "Modem");
  EXPECT_EQ(nested->text(), "nested");  // not a direct child
  EXPECT_EQ(empty->text(), "keeps");    // an empty text never clears a caption
  EXPECT_EQ(unmarked->text(), "unmarked");

  // A layout without texts, and an empty database, change nothing.
  LocaliseWindow(database, 999, &window);
  CResourceDatabase none;
  none.InitEmpty();
  LocaliseWindow(none, 150, &window);
  EXPECT_EQ(window.windowTitle(), "Connect");
  EXPECT_EQ(label->text(), "Port");
}

// ---- message boxes -------------------------------------------------------------------------

TEST(MessageBoxTest, LocalisedTextCaptionArgumentsAndHold) {
  test::LoadTestLanguage("TestEnglish.lng");
  test::RecordedMessages messages(kAnswerNo);
  std::vector<bool> holds;
  QWidget owner;
  const int answer = ShowUIMessage(&owner, "Err_Tag_Number_overflow", {"16"}, kStyleYesNoQuestion,
                                   [&](bool on) { holds.push_back(on); });
  EXPECT_EQ(answer, kAnswerNo);
  ASSERT_EQ(messages.Seen().size(), 1u);
  EXPECT_EQ(messages.Seen()[0].text, "Enter at most 16 characters.");
  EXPECT_EQ(messages.Seen()[0].caption, "VA5VIVI Message");
  EXPECT_EQ(messages.Seen()[0].owner, &owner);
  EXPECT_EQ(holds, (std::vector<bool>{true, false}));
  // A missing text still shows a box, with an empty text and an empty caption.
  TheResourceDatabase().InitEmpty();
  EXPECT_EQ(ShowUIMessage(nullptr, "Err_Nothing"), kAnswerNo);
  EXPECT_EQ(messages.Seen().back().text, "");
  EXPECT_EQ(messages.Seen().back().caption, "");
}

TEST(MessageBoxTest, ExceptionReportIsCutTo511CharactersUnderTheApplicationName) {
  test::RecordedMessages messages;
  ReportException(nullptr, CPrivateException(std::string(700, 'x')));
  ASSERT_EQ(messages.Seen().size(), 1u);
  EXPECT_EQ(messages.Seen()[0].text.size(), 511);
  EXPECT_EQ(messages.Seen()[0].caption, "VA5VIVI");
  EXPECT_EQ(messages.Seen()[0].style, kStyleOkError);
}

TEST(MessageBoxTest, RealBoxesReturnTheButtonPressed) {
  test::LoadTestLanguage("TestEnglish.lng");
  test::ClickOnNextBox("No");
  EXPECT_EQ(ShowUIMessage(nullptr, "Apllication_Close", {}, kStyleYesNoQuestion), kAnswerNo);
  test::ClickOnNextBox("Retry");
  EXPECT_EQ(ShowUIMessage(nullptr, "Err_Range_Input", {}, kStyleRetryCancelExclamation),
            kAnswerRetry);
  test::ClickOnNextBox("Cancel");
  EXPECT_EQ(ShowUIMessage(nullptr, "Err_Range_Input", {}, kStyleOkCancelExclamation),
            kAnswerCancel);
  test::ClickOnNextBox("OK");
  EXPECT_EQ(ShowUIMessage(nullptr, "Err_Range_Input", {}, kStyleOkInformation), kAnswerOk);
  TheResourceDatabase().InitEmpty();
}

// ---- fonts and small controls --------------------------------------------------------------

TEST(FontManagerTest, MakesFontsFromTheTemplateBySizeAndWeight) {
  QFont base(QApplication::font());
  base.setItalic(true);
  CFontManager::CaptureFontTemplate(base);
  QFont font;
  CFontManager::MakeFont(font, 130, 700);
  EXPECT_EQ(font.pointSizeF(), 13.0);
  EXPECT_EQ(font.weight(), QFont::Bold);
  EXPECT_TRUE(font.italic());
  // A second call replaces the first font entirely.
  CFontManager::MakeFont(font, 90, 400);
  EXPECT_EQ(font.pointSizeF(), 9.0);
  EXPECT_EQ(font.weight(), QFont::Normal);
  EXPECT_EQ(CFontManager::FontTemplate().pointSizeF(), base.pointSizeF());
  CFontManager::CaptureFontTemplate(QApplication::font());
}

TEST(SmallControlsTest, ColouredLabelPaintsItsLook) {
  CLblColor label("PV");
  label.resize(60, 20);
  EXPECT_EQ(label.Background(), QApplication::palette().color(QPalette::Button));
  EXPECT_EQ(label.TextColor(), QColor(Qt::black));
  EXPECT_EQ(label.font().pixelSize(), 15);
  QFont heading;
  CFontManager::MakeFont(heading, 110, 700);
  label.SetLook(heading, QColor(252, 209, 193), Qt::blue);
  const QImage image = label.grab().toImage();
  EXPECT_EQ(image.pixelColor(1, 1), QColor(252, 209, 193));
  EXPECT_EQ(label.font().weight(), QFont::Bold);
  EXPECT_EQ(label.palette().color(QPalette::WindowText), QColor(Qt::blue));
}

TEST(SmallControlsTest, UnderLineIsASolidYellowBar) {
  CUnderLine bar;
  bar.resize(40, 4);
  bar.Prepare();
  QImage image = bar.grab().toImage();
  EXPECT_EQ(image.pixelColor(0, 0), QColor(255, 255, 0));
  EXPECT_EQ(image.pixelColor(39, 3), QColor(255, 255, 0));
  bar.resize(80, 6);
  image = bar.grab().toImage();
  EXPECT_EQ(image.pixelColor(79, 5), QColor(255, 255, 0));
}

}  // namespace
}  // namespace va5
