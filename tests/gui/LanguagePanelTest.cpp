// The language panel in the assembled main window, with a folder of language files of its
// own: the list offered, the choice stored and applied at once, the poll held and released.
#include "gui/panels/LanguageSetting.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "gui/FunctionKeys.h"
#include "gui/MainDlgApp.h"
#include "gui/SelectListBox.h"
#include "gui/panels/ConnectDevice.h"
#include "lang/ControlIds.h"
#include "lang/ResourceDatabase.h"
#include "tests/gui/PanelTestSupport.h"

namespace va5 {
namespace {

namespace lp = ids::language_panel;
namespace fk = ids::function_keys;
using test::Cancel;
using test::Choose;
using test::ModalScript;
using test::Questions;

class LanguagePanelTest : public test::ConnectedWindowTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folder_.isValid());
    ASSERT_TRUE(sim_.Start());
    WriteLanguage("English.lng", "English");
    WriteLanguage("Japanese.lng", "Japanese", "Japanese.lng", QStringLiteral("日本語"));
    StartWindow("English.lng", {folder_.path().toStdString()});
  }

  // A copy of a language file of the program under `name`, carrying `languageName` and
  // `displayName`, or no display name (as files written before it) when that is empty.
  void WriteLanguage(const QString& name, const QString& languageName,
                     const QString& from = QStringLiteral("English.lng"),
                     const QString& displayName = {}) {
    QFile source(QDir(VA5VIVI_RESOURCES_DIR).filePath(from));
    ASSERT_TRUE(source.open(QIODevice::ReadOnly));
    QString text = QString::fromUtf8(source.readAll());
    const qsizetype start = text.indexOf("<language>"), end = text.indexOf("</language>");
    ASSERT_TRUE(start >= 0 && end > start);
    text.replace(start, end - start, "<language>" + languageName);
    const qsizetype shown = text.indexOf("<displayname>");
    const QString closing = QStringLiteral("</displayname>");
    const qsizetype shownEnd = text.indexOf(closing) + closing.size();
    ASSERT_TRUE(shown >= 0 && shownEnd > shown);
    text.replace(shown, shownEnd - shown,
                 displayName.isEmpty() ? QString() : "<displayname>" + displayName + "</displayname>");
    Write(name, text.toUtf8());
  }
  void Write(const QString& name, const QByteArray& content) {
    QFile file(folder_.filePath(name));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(content);
  }

  // Opens the selection, notes what it offers and which entry is marked, and cancels it.
  ModalScript::Action Inspect(QStringList& names, int& marked) {
    return [&names, &marked](QDialog& dialog) {
      auto* list = qobject_cast<CSelectListBox*>(&dialog);
      ASSERT_NE(list, nullptr);
      names.clear();
      for (int i = 0; i < list->List()->count(); ++i) names << list->List()->item(i)->text();
      marked = list->List()->currentRow();
      list->CancelButton()->click();
    };
  }
  CSetting* Open() { return qobject_cast<CSetting*>(OpenPanel(fk::kLanguageButton)); }
  CAppSettings Stored() const {
    CAppSettings stored(QLocale(QLocale::English));
    stored.Load();
    return stored;
  }
  bool Polling() {
    log_.Clear();
    return QTest::qWaitFor([&] { return log_.Count(3) > 0; }, 5000);
  }

  QTemporaryDir folder_;
};

TEST_F(LanguagePanelTest, ListsTheReadableFilesOfTheFolderAfreshEachTime) {
  Questions questions;
  WriteLanguage("English2.lng", "English");  // the same name twice
  Write("Broken.lng", "<root><application>RA5DERI</application>");
  CSetting* panel = Open();
  ASSERT_NE(panel, nullptr);
  EXPECT_EQ(TextOf(panel, lp::kLanguageName), "English");
  EXPECT_TRUE(panel->CloseButton()->hasFocus());

  QStringList names;
  int marked = -1;
  EXPECT_EQ(Click(panel, lp::kChangeButton, {Inspect(names, marked)}).size(), 1u);
  // Each language in its own script; a file without a display name by its language name.
  EXPECT_EQ(names, QStringList({"English", "English", "日本語"}));
  EXPECT_EQ(marked, 1);                   // the later of the two
  EXPECT_TRUE(questions.Seen().empty());  // a damaged file among good ones is only logged
  EXPECT_EQ(Stored().LanguageFile(), "English.lng");

  WriteLanguage("Zulu.lng", "Zulu");
  Click(panel, lp::kChangeButton, {Inspect(names, marked)});
  EXPECT_TRUE(names.contains("Zulu"));

  // Nothing but the damaged file: the technician is told which file, and no list opens.
  for (const char* name : {"English.lng", "English2.lng", "Japanese.lng", "Zulu.lng"})
    ASSERT_TRUE(QFile::remove(folder_.filePath(name)));
  EXPECT_TRUE(Click(panel, lp::kChangeButton, {Cancel()}).empty());
  ASSERT_EQ(questions.Seen().size(), 1u);
  EXPECT_TRUE(questions.Seen()[0].text.contains("Broken.lng"));
  EXPECT_EQ(settings_->LanguageName(), "English");
}

TEST_F(LanguagePanelTest, ChoosingAppliesAtOnceAndStoresBothSettingsWithThePollReleased) {
  Connect();
  const QString pictures = qEnvironmentVariable("VA5VIVI_SCREENSHOT_DIR");
  CSetting* panel = Open();
  ASSERT_NE(panel, nullptr);
  const auto fits = [panel] {
    for (QPushButton* button : panel->findChildren<QPushButton*>()) {
      EXPECT_EQ(button->accessibleName(), button->text());
      EXPECT_GE(button->width(), button->sizeHint().width()) << button->text().toStdString();
    }
  };
  fits();
  if (!pictures.isEmpty()) window_->grab().save(QDir(pictures).filePath("language-en.png"));

  Click(panel, lp::kChangeButton, {Cancel()});
  EXPECT_EQ(settings_->LanguageFile(), "English.lng");
  EXPECT_EQ(Key(fk::kConnectButton)->text(), "Connect");
  EXPECT_TRUE(Polling());

  Click(panel, lp::kChangeButton, {Choose("日本語")});
  EXPECT_EQ(settings_->LanguageFile(), "Japanese.lng");
  EXPECT_EQ(Stored().LanguageFile(), "Japanese.lng");
  EXPECT_EQ(Stored().LanguageName(), "Japanese");
  const std::string connect = TheResourceDatabase().GetGuiText(fk::kLayout, fk::kConnectButton);
  EXPECT_EQ(Key(fk::kConnectButton)->text().toStdString(), connect);
  EXPECT_NE(connect, "Connect");
  EXPECT_TRUE(panel->isVisible());
  EXPECT_EQ(TextOf(panel, lp::kLanguageName), "日本語");  // the settings keep "Japanese"
  EXPECT_EQ(panel->CloseButton()->text().toStdString(),
            TheResourceDatabase().GetGuiText(lp::kLayout, lp::kCloseButton));
  fits();
  if (!pictures.isEmpty()) window_->grab().save(QDir(pictures).filePath("language-ja.png"));
  EXPECT_TRUE(Polling());
}

}  // namespace
}  // namespace va5
