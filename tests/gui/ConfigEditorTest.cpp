// The configuration file editor in the assembled main window against the simulated
// transmitter: entries without a device, the file, upload, download and compare.
#include "gui/config/ConfigEditor.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QRegularExpression>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <set>

#include "gui/LblColor.h"
#include "gui/FunctionKeys.h"
#include "gui/config/FileProperty.h"
#include "gui/config/FileProperty2.h"
#include "lang/ControlIds.h"
#include "tests/gui/PanelTestSupport.h"

namespace va5 {
namespace {

namespace p1 = ids::config_page1;
namespace p2 = ids::config_page2;
namespace fk = ids::function_keys;
using test::Choose;
using test::Enter;
using test::Questions;
using test::UIText;

// The HART commands of the twelve writes of a download.
const std::set<int> kWrites = {18, 17, 131, 44, 35, 34, 135, 47, 142, 133, 49, 19};

class ConfigEditorTest : public test::ConnectedWindowTest {
 protected:
  // Yes to the download's question, whatever it lists.
  static void AnswerDownloads(Questions& questions) {
    for (const char* key :
         {"Confr_Download_Changes", "Confr_Download_Same", "Confr_Download_Unread"})
      questions.Answer(UIText(key), {kAnswerYes});
  }
  // Opens the editor; Yes to letting a connected device go.
  CConfigEditor* Open() {
    {
      Questions questions;
      questions.Answer(UIText("Confr_Editor_Disconnect"), {kAnswerYes});
      Key(fk::kFileButton)->click();
    }
    auto* editor = window_->findChild<CConfigEditor*>();
    EXPECT_NE(editor, nullptr);
    if (editor != nullptr) {
      editor->SetFileDialog([this](QWidget*, bool) { return path_; });
      page1_ = editor->Page1();
      page2_ = editor->Page2();
    }
    return editor;
  }
  std::vector<int> Writes() const {
    std::vector<int> writes;
    for (int command : log_.Requests())
      if (kWrites.count(command) != 0) writes.push_back(command);
    return writes;
  }
  // No label of either page coloured `colour`.
  bool NoneColoured(const QColor& colour) const {
    for (QWidget* page : {static_cast<QWidget*>(page1_), static_cast<QWidget*>(page2_)})
      for (CLblColor* label : page->findChildren<CLblColor*>())
        if (label->Background() == colour) return false;
    return true;
  }

  QTemporaryDir dir_;
  QString path_;
  CFileProperty* page1_ = nullptr;
  CFileProperty2* page2_ = nullptr;
};

// Off line: a sensor with its defaults, the unit family with the range converted through
// degrees Celsius, and the file written and read back.
TEST_F(ConfigEditorTest, PreparesAConfigurationWithoutADeviceAndKeepsItInAFile) {
  Connect();
  CConfigEditor* editor = Open();
  ASSERT_NE(editor, nullptr);
  // The editor takes the window and the device is let go.
  EXPECT_FALSE(window_->Connected());
  EXPECT_EQ(window_->CurrentSession(), nullptr);
  EXPECT_TRUE(page1_->isVisible());
  EXPECT_FALSE(window_->FunctionKeys()->isVisible());
  EXPECT_TRUE(ButtonOf(page1_, p1::kExitButton)->hasFocus());

  // A thermocouple brings its fixed wiring without asking, and its defaults.
  EXPECT_EQ(Click(page1_, p1::kSensorFileChange, {Choose("Type K")}).size(), 1u);
  EXPECT_EQ(TextOf(page1_, p1::kSensorWiresFile), "2 Wires");
  EXPECT_EQ(TextOf(page1_, p1::kPvUnitFile), "degC");
  EXPECT_EQ(TextOf(page1_, p1::kUpperRangeFile), "1370.000");
  EXPECT_EQ(TextOf(page1_, p1::kLowerRangeUnitFile), "degC");
  EXPECT_EQ(page1_->Value(p1::kSensorWiresFile)->Background(), CConfigPage::kChanged);

  Click(page1_, p1::kRangeFileChange, {Enter("100"), Enter("0")});
  Click(page1_, p1::kPvUnitFileChange, {Choose("degF")});
  EXPECT_EQ(TextOf(page1_, p1::kUpperRangeFile), "212.000");
  EXPECT_EQ(TextOf(page1_, p1::kLowerRangeFile), "32.000");
  EXPECT_EQ(TextOf(page1_, p1::kUpperRangeUnitFile), "degF");
  Click(page1_, p1::kPvUnitFileChange, {Choose("Kelvin")});
  EXPECT_EQ(TextOf(page1_, p1::kUpperRangeFile), "373.150");
  EXPECT_EQ(TextOf(page1_, p1::kLowerRangeFile), "273.150");

  // Entries are refused by the panels' own rules.
  Questions questions;
  Click(page1_, p1::kTagFileChange, {Enter("A~B")});
  EXPECT_EQ(questions.Starting(UIText("Err_No_Packed_ASCII", {"~"})).size(), 1u);
  EXPECT_EQ(TextOf(page1_, p1::kTagFile), "");
  Click(page1_, p1::kTagFileChange, {Enter("TT-7")});
  Click(page2_, p2::kSerialNumberFileChange, {Enter("4321")});
  EXPECT_EQ(TextOf(page2_, p2::kSerialNumberFile), "4321");

  path_ = dir_.filePath("config.txt");
  Click(page1_, p1::kWriteFileButton);
  Click(page1_, p1::kTagFileChange, {Enter("OTHER")});
  Click(page1_, p1::kReadFileButton);
  EXPECT_EQ(TextOf(page1_, p1::kTagFile), "TT-7");
  EXPECT_EQ(TextOf(page1_, p1::kUpperRangeFile), "373.150");
  EXPECT_EQ(TextOf(page1_, p1::kUpperRangeUnitFile), "Kelvin");
  EXPECT_EQ(TextOf(page2_, p2::kSerialNumberFile), "4321");
  EXPECT_EQ(page1_->Value(p1::kTagFile)->Background(), page1_->ButtonFace());

  // A file that cannot be put in place is reported, not taken as written.
  path_ = dir_.filePath("missing/config.txt");
  Click(page1_, p1::kWriteFileButton);
  EXPECT_EQ(questions.Seen().size(), 2u);

  Click(page1_, p1::kExitButton);
  EXPECT_FALSE(page1_->isVisible());
  EXPECT_TRUE(window_->FunctionKeys()->isVisible());
  EXPECT_FALSE(window_->Connected());  // leaving does not reconnect
}

// A value wider than its label is shown shortened, and still written to the file whole.
TEST_F(ConfigEditorTest, AValueWiderThanItsLabelIsWrittenWhole) {
  Connect();
  ASSERT_NE(Open(), nullptr);
  Click(page1_, p1::kDescriptorFileChange, {Enter("ABCDEFGHIJKLMNOP")});
  CLblColor* label = page1_->Value(p1::kDescriptorFile);
  label->setFixedWidth(40);
  QApplication::processEvents();
  ASSERT_NE(label->text(), QStringLiteral("ABCDEFGHIJKLMNOP"));  // shortened on screen
  path_ = dir_.filePath("wide.txt");
  Click(page1_, p1::kWriteFileButton);
  QFile file(path_);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_TRUE(file.readAll().contains("= ABCDEFGHIJKLMNOP"));
}

// Opening the editor while a device is connected asks first, No as the default, and No
// keeps the device; the window's title names the file the file column came from or went to.
TEST_F(ConfigEditorTest, AsksBeforeLettingTheDeviceGoAndNamesItsFile) {
  Connect();
  {
    Questions questions;
    questions.Answer(UIText("Confr_Editor_Disconnect"), {kAnswerNo});
    Key(fk::kFileButton)->click();
    ASSERT_EQ(questions.Seen().size(), 1u);
    EXPECT_EQ(questions.Seen()[0].style, kStyleYesNoQuestion | kStyleDefaultSecond);
    EXPECT_TRUE(window_->Connected());
    EXPECT_EQ(window_->FileEditorPage(), nullptr);
    EXPECT_EQ(window_->windowTitle(), CMainDlgDlg::Title());
  }
  CConfigEditor* editor = Open();
  ASSERT_NE(editor, nullptr);
  EXPECT_FALSE(window_->Connected());
  EXPECT_EQ(window_->windowTitle(), CMainDlgDlg::Title() + " - Untitled");
  path_ = dir_.filePath("pump-7.txt");
  Click(page1_, p1::kWriteFileButton);
  EXPECT_EQ(window_->windowTitle(), CMainDlgDlg::Title() + " - pump-7.txt");
  ASSERT_TRUE(QFile::copy(path_, dir_.filePath("boiler.txt")));
  path_ = dir_.filePath("boiler.txt");
  Click(page1_, p1::kReadFileButton);
  EXPECT_EQ(window_->windowTitle(), CMainDlgDlg::Title() + " - boiler.txt");
  path_ = dir_.filePath("missing/x.txt");  // not written: the title keeps the file it had
  Questions questions;
  Click(page1_, p1::kWriteFileButton);
  EXPECT_EQ(window_->windowTitle(), CMainDlgDlg::Title() + " - boiler.txt");

  Click(page1_, p1::kExitButton);
  EXPECT_EQ(window_->windowTitle(), CMainDlgDlg::Title());
  // Off line nothing is asked; the editor still holds its file.
  const std::size_t asked = questions.Seen().size();
  Key(fk::kFileButton)->click();
  EXPECT_EQ(questions.Seen().size(), asked);
  EXPECT_EQ(window_->windowTitle(), CMainDlgDlg::Title() + " - boiler.txt");
}

// Upload, copy and compare across both pages, a full download read back, and the model rule.
TEST_F(ConfigEditorTest, DownloadsWhatTheDeviceColumnShowsAndReadsItBack) {
  Questions questions;
  AnswerDownloads(questions);
  CConfigEditor* editor = Open();
  ASSERT_NE(editor, nullptr);
  Click(page1_, p1::kUploadButton);
  EXPECT_EQ(TextOf(page1_, p1::kTagDevice), "TT-101");
  EXPECT_EQ(TextOf(page2_, p2::kFinalAssemblyDevice), "100234");
  EXPECT_EQ(window_->CurrentSession(), nullptr);  // the link is reset after the upload

  Click(page1_, p1::kCopyAllToFileButton);
  EXPECT_EQ(TextOf(page2_, p2::kSerialNumberFile), "5678");  // the other page too
  Click(page2_, p2::kCompareFileButton);
  EXPECT_TRUE(NoneColoured(CConfigPage::kDifferent));
  // ">" on equal values leaves the target's look.
  Click(page1_, p1::kTagToDevice);
  EXPECT_EQ(page1_->Value(p1::kTagDevice)->Background(), page1_->ButtonFace());

  // A file column changed on both pages, copied across and downloaded.
  Click(page1_, p1::kTagFileChange, {Enter("NEW-TAG")});
  Click(page1_, p1::kDateFileChange, {Enter("2030/05/06")});
  Click(page1_, p1::kDampingFileChange, {Enter("4.5")});
  Click(page2_, p2::kFinalAssemblyFileChange, {Enter("777")});
  Click(page1_, p1::kCompareDeviceButton);
  EXPECT_EQ(page1_->Value(p1::kTagDevice)->Background(), CConfigPage::kDifferent);
  Click(page2_, p2::kCopyAllToDeviceButton);
  log_.Clear();
  Click(page1_, p1::kDownloadButton);
  EXPECT_EQ(Writes(), std::vector<int>(
                          {18, 17, 131, 44, 35, 34, 135, 47, 142, 133, 49, 19}));
  const sim::DeviceState state = sim_.State();
  EXPECT_EQ(state.tag, "NEW-TAG ");
  EXPECT_EQ(state.yearOffset + 1900, 2030);
  EXPECT_DOUBLE_EQ(state.damping, 4.5);
  EXPECT_EQ(state.finalAssemblyNumber, 777u);
  EXPECT_TRUE(NoneColoured(CConfigPage::kDifferent));
  EXPECT_EQ(questions.Seen().size(), 1u);  // the download's one question

  Click(page1_, p1::kUploadButton);
  EXPECT_TRUE(session::CompareConfigurations(editor->Values(ConfigSide::File),
                                             editor->Values(ConfigSide::Device))
                  .empty());
  EXPECT_TRUE(window_->InputEnabled());

  // A link lost in the middle ends the download: the rows are marked, the link is reset and
  // the window takes input again.
  const QString lost = UIText("Err_COM", {"SIM9"}).left(20);
  questions.Answer(lost, {kAnswerCancel});
  Click(page1_, p1::kTagDeviceChange, {Enter("LOST")});
  Click(page1_, p1::kDampingDeviceChange, {Enter("6")});
  sim_.InjectFault({.kind = sim::Fault::Kind::Silence, .command = 34});
  Click(page1_, p1::kDownloadButton);
  sim_.ClearFaults();
  EXPECT_EQ(questions.Starting(lost).size(), 1u);
  EXPECT_EQ(sim_.State().tag, "LOST    ");
  EXPECT_DOUBLE_EQ(sim_.State().damping, 4.5);
  EXPECT_EQ(page1_->Value(p1::kTagDevice)->Background(), page1_->ButtonFace());
  EXPECT_EQ(page1_->Value(p1::kDampingDevice)->Background(), CConfigPage::kDifferent);
  EXPECT_TRUE(window_->InputEnabled());
  EXPECT_EQ(window_->CurrentSession(), nullptr);
  EXPECT_TRUE(page1_->isVisible());

  // Another model of the family takes nothing.
  sim_.Modify([](sim::DeviceState& s) { s.deviceType = 4; });
  log_.Clear();
  Click(page1_, p1::kDownloadButton);
  EXPECT_EQ(questions.Starting(UIText("Err_Device_Not_Configurable", {"TQ5R2"})).size(), 1u);
  EXPECT_TRUE(Writes().empty());
  EXPECT_TRUE(window_->InputEnabled());
}

// A download stops at the first empty value of the device column (here from a hand-edited
// file): the device holds exactly the writes before it, and the rows are marked.
TEST_F(ConfigEditorTest, DownloadStopsAtTheFirstEmptyValue) {
  Questions questions;
  AnswerDownloads(questions);
  CConfigEditor* editor = Open();
  ASSERT_NE(editor, nullptr);
  Click(page1_, p1::kUploadButton);
  EXPECT_FALSE(window_->FunctionKeys()->isVisible());  // the editor keeps the window
  Click(page1_, p1::kCopyAllToFileButton);
  path_ = dir_.filePath("edited.txt");
  Click(page1_, p1::kWriteFileButton);
  QFile file(path_);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly | QIODevice::Text));
  const QString written = QString::fromLatin1(file.readAll());
  file.close();
  // The file with one key's value removed and the tag and serial number changed, read into
  // the file column and copied to the device column.
  const auto downloadWithout = [&](const char* key) {
    QString text = written;
    text.replace(QRegularExpression(QString::fromLatin1("(%1 +=) [^\n]*").arg(key)),
                 QStringLiteral("\\1 "));
    text.replace(QStringLiteral("TT-101"), QStringLiteral("TT-202"));
    text.replace(QStringLiteral("= 5678"), QStringLiteral("= 9999"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text));
    file.write(text.toLatin1());
    file.close();
    Click(page1_, p1::kReadFileButton);
    Click(page1_, p1::kCopyAllToDeviceButton);
    log_.Clear();
    Click(page1_, p1::kDownloadButton);
  };

  downloadWithout("Date");
  EXPECT_TRUE(Writes().empty());
  EXPECT_EQ(sim_.State().tag, "TT-101  ");
  EXPECT_EQ(page1_->Value(p1::kDateDevice)->Background(), CConfigPage::kDifferent);

  downloadWithout("PV Damping");
  EXPECT_EQ(Writes(), std::vector<int>({18, 17, 131, 44, 35}));
  EXPECT_EQ(sim_.State().tag, "TT-202  ");
  EXPECT_DOUBLE_EQ(sim_.State().damping, 2.0);
  EXPECT_EQ(page1_->Value(p1::kDampingDevice)->Background(), CConfigPage::kDifferent);
  EXPECT_FALSE(page1_->Value(p1::kDampingDevice)->toolTip().isEmpty());
  // Written rows show what the device now holds.
  EXPECT_EQ(page1_->Value(p1::kTagDevice)->Background(), page1_->ButtonFace());
  EXPECT_EQ(TextOf(page1_, p1::kTagDevice), "TT-202");
  EXPECT_EQ(TextOf(page1_, p1::kDateDevice), "2024/01/15");
  // A row not reached keeps its text and its look, and the device its value.
  EXPECT_EQ(page2_->Value(p2::kSerialNumberDevice)->Background(), CConfigPage::kChanged);
  EXPECT_EQ(TextOf(page2_, p2::kSerialNumberDevice), "9999");
  EXPECT_EQ(sim_.State().sensorSerialNumber, 5678u);
  // Each download's question, why each stopped, and what the device holds after the one that
  // wrote rows.
  EXPECT_EQ(questions.Seen().size(), 5u);
  EXPECT_EQ(questions.Starting(test::UIText("Err_Download_Partial", {"5", "0", "1", "6"})).size(),
            1u);
  EXPECT_TRUE(window_->InputEnabled());
  EXPECT_EQ(window_->CurrentSession(), nullptr);
}

// Both pages lay out without clipping a caption in either language; with
// VA5VIVI_SCREENSHOT_DIR set, pictures of them are saved there.
TEST_F(ConfigEditorTest, PagesShowEveryCaptionInBothLanguages) {
  for (const char* language : {"English.lng", "Japanese.lng"}) {
    StartWindow(language);
    ASSERT_NE(Open(), nullptr);
    Click(page1_, p1::kUploadButton);
    Click(page1_, p1::kCopyAllToFileButton);
    for (CConfigPage* page : {static_cast<CConfigPage*>(page1_), static_cast<CConfigPage*>(page2_)}) {
      if (page == page2_) Click(page1_, p1::kPageButton);
      ASSERT_TRUE(page->isVisible());
      EXPECT_FALSE(ButtonOf(page, page == page1_ ? p1::kExitButton : p2::kExitButton)
                       ->text()
                       .isEmpty());
      for (QWidget* control : page->findChildren<QWidget*>()) {
        const auto* label = qobject_cast<QLabel*>(control);
        const auto* button = qobject_cast<QPushButton*>(control);
        if (!control->isVisible() || (label == nullptr && button == nullptr)) continue;
        if (label != nullptr && label->wordWrap()) continue;
        // The text fits the control (a button keeps a little room for its frame).
        const QString text = label != nullptr ? label->text() : button->text();
        const int room = label != nullptr ? label->contentsRect().width() : button->width() - 8;
        EXPECT_LE(control->fontMetrics().horizontalAdvance(text), room)
            << language << " " << text.toStdString();
        EXPECT_FALSE(control->accessibleName().isEmpty() && button != nullptr);
      }
      const QByteArray dir = qgetenv("VA5VIVI_SCREENSHOT_DIR");
      if (!dir.isEmpty()) {
        window_->grab().save(
            QDir(QString::fromLocal8Bit(dir))
                .filePath(QString::fromLatin1("config-page%1-%2.png")
                              .arg(page == page1_ ? 1 : 2)
                              .arg(QString::fromLatin1(language).left(2).toLower())));
      }
    }
  }
}

}  // namespace
}  // namespace va5
