// The three table editors in the assembled main window against the simulated transmitter:
// the checks before a write and their questions, the refusals while the device uses a table,
// tables from a file to the device and from the device to a file, and the table graph.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <fstream>
#include <string>
#include <vector>

#include "device/GlobalFile.h"
#include "gui/Localise.h"
#include "gui/graph/CustomGraph.h"
#include "gui/graph/LineGraph.h"
#include "gui/panels/TableEditor.h"
#include "lang/ControlIds.h"
#include "lang/ResourceDatabase.h"
#include "tests/gui/PanelTestSupport.h"

namespace va5 {
namespace {

namespace te = ids::table_editor;
namespace fk = ids::function_keys;
using test::UIText;

class TableEditorTest : public test::ConnectedWindowTest {
 protected:
  // Opens the editor of `key`; its file dialogs answer `path`.
  CTableEditor* Open(int key) {
    auto* editor = qobject_cast<CTableEditor*>(OpenPanel(key));
    EXPECT_NE(editor, nullptr);
    if (editor != nullptr) {
      editor->SetFileDialog([this](QWidget*, bool save, const QString&, const QString& filter) {
        EXPECT_TRUE(filter.contains(QStringLiteral("*.txt")));
        saves_ += save ? 1 : 0;
        return path_;
      });
    }
    return editor;
  }
  void WriteFile(const std::string& text) {
    std::ofstream(path_.toStdString(), std::ios::binary) << text;
  }
  // The point indices of the write-point requests (command `command`), in order.
  std::vector<int> WrittenIndices(int command) const {
    std::vector<int> indices;
    for (const test::SentFrame& f : log_.Frames())
      if (f.command == command && f.data.size() >= 2) indices.push_back(f.data[0] << 8 | f.data[1]);
    return indices;
  }
  static sim::CustomTable Table(int minimum, int step, std::vector<float> values) {
    sim::CustomTable t;
    t.size = static_cast<int>(values.size());
    t.minimum = minimum;
    t.step = step;
    t.configured = true;
    t.values = std::move(values);
    t.written.assign(t.values.size(), true);
    return t;
  }

  QTemporaryDir dir_;
  QString path_ = dir_.filePath(QStringLiteral("table.txt"));
  int saves_ = 0;
};

const char* kRtdHeader = "/* a custom RTD table\nMinimum RTD Temperature = -20\nStep = 10\n{\n";

// A value out of order is asked about when the file is read and again before the write;
// Cancel sends nothing, OK sends header, points, the end marker last and re-reads the header.
TEST_F(TableEditorTest, UploadChecksAskAndAFileTableArrivesInTheDevice) {
  Connect();
  CTableEditor* rtd = Open(fk::kCustomRtdButton);
  test::Questions questions;
  WriteFile(std::string(kRtdHeader) + "100\r\n90\r\n110.5\r\n}\r\n");
  // The same point is point 2 when the file is read and when it is checked before the write:
  // OK on reading, then Cancel and OK on the two writes.
  questions.Answer(QStringLiteral("Point 2 (90 ohms)"), {kAnswerOk, kAnswerCancel, kAnswerOk});
  Click(rtd, te::kReadFileButton);
  EXPECT_EQ(questions.Seen().size(), 1u);
  EXPECT_TRUE(rtd->TablePresent());
  EXPECT_EQ(TextOf(rtd, te::kMinimumValue), "-20");
  EXPECT_EQ(TextOf(rtd, te::kMaximumValue), "0");
  EXPECT_EQ(TextOf(rtd, te::kStepValue), "10");
  EXPECT_EQ(TextOf(rtd, te::kSizeValue), "3");

  questions.Answer(UIText("Confr_Download_CustomRTD"), {kAnswerNo, kAnswerYes});
  questions.Answer(UIText("Confr_Loop_Table_Write"), {kAnswerNo, kAnswerYes});
  log_.Clear();
  Click(rtd, te::kWriteDeviceButton);  // No
  Click(rtd, te::kWriteDeviceButton);  // Yes, then Cancel on the order question
  EXPECT_TRUE(log_.Requests().empty());
  EXPECT_EQ(questions.Starting(QStringLiteral("Point 2 (90 ohms)")).size(), 2u);
  EXPECT_TRUE(ButtonOf(rtd, te::kWriteDeviceButton)->isEnabled());

  // Yes, OK, then No on the loop question, asked last with No as its default: nothing sent.
  Click(rtd, te::kWriteDeviceButton);
  EXPECT_TRUE(log_.Requests().empty());
  const auto loop = questions.Starting(UIText("Confr_Loop_Table_Write"));
  ASSERT_EQ(loop.size(), 1u);
  EXPECT_EQ(loop[0].style, kStyleYesNoQuestion | kStyleDefaultSecond);
  EXPECT_EQ(questions.Seen().back().text, loop[0].text);

  // Yes, OK, Yes: the progress follows the points, and stays through the device's pause.
  ButtonOf(rtd, te::kWriteDeviceButton)->click();
  EXPECT_TRUE(QTest::qWaitFor([&] { return rtd->Progress()->value() == 100; }, 5000));
  EXPECT_TRUE(rtd->Progress()->isVisible());
  EXPECT_FALSE(window_->InputEnabled());
  EXPECT_TRUE(WaitIdle());
  EXPECT_EQ(WrittenIndices(187), (std::vector<int>{0, 1, 2, 9999}));
  const std::vector<int> requests = log_.Requests();
  ASSERT_GE(requests.size(), 2u);
  EXPECT_EQ(requests.front(), 185);
  EXPECT_EQ(requests.back(), 184);  // the header read again after the end marker
  const sim::CustomTable device = sim_.State().rtdTable;
  EXPECT_EQ(device.size, 3);
  EXPECT_EQ(device.minimum, -20);
  EXPECT_EQ(device.step, 10);
  EXPECT_EQ(device.values, (std::vector<float>{100.0f, 90.0f, 110.5f}));
  EXPECT_TRUE(device.configured);
  EXPECT_TRUE(ButtonOf(rtd, te::kWriteDeviceButton)->isEnabled());
  EXPECT_FALSE(rtd->Progress()->isVisible());
  EXPECT_EQ(TextOf(rtd, te::kStatusValue), "Configured");

  // A minimum temperature below -273 refuses the write without a question.
  WriteFile("Min RTD = -274\nStep = 10\n{\n100\n110\n}\n");
  Click(rtd, te::kReadFileButton);
  const std::size_t seen = questions.Seen().size();
  log_.Clear();
  Click(rtd, te::kWriteDeviceButton);
  EXPECT_EQ(questions.Starting(UIText("Err_Temp_Min", {"-274"})).size(), 1u);
  EXPECT_EQ(questions.Seen().size(), seen + 2);  // the confirmation and the refusal
  EXPECT_TRUE(log_.Requests().empty());

  // A refused header is read again: the editor shows the table the device kept, not the file's.
  WriteFile("Minimum RTD Temperature = 0\nStep = 5\n{\n100\n110\n}\n");
  Click(rtd, te::kReadFileButton);
  EXPECT_EQ(TextOf(rtd, te::kStepValue), "5");
  sim_.InjectFault({.kind = sim::Fault::Kind::ResponseCode,
                    .count = 1,
                    .command = 185,
                    .value = sim::RcInvalidSelection});
  log_.Clear();
  Click(rtd, te::kWriteDeviceButton);
  EXPECT_TRUE(WaitIdle());
  EXPECT_EQ(log_.Requests(), (std::vector<int>{185, 184}));
  EXPECT_EQ(questions.Starting(UIText("Err_CMD", {"185"}).section(QLatin1Char(' '), 0, 5)).size(),
            1u);
  EXPECT_EQ(TextOf(rtd, te::kMinimumValue), "-20");
  EXPECT_EQ(TextOf(rtd, te::kStepValue), "10");
  EXPECT_EQ(TextOf(rtd, te::kSizeValue), "3");
  EXPECT_EQ(TextOf(rtd, te::kStatusValue), "Configured");
}

// The sensor type or transfer function in use refuses a write before any question.
TEST_F(TableEditorTest, ATableInUseIsNotWritten) {
  sim_.Modify([](sim::DeviceState& s) {
    s.sensorType = CustomRtdSensorCode;
    s.transferFunction = 4;
  });
  Connect();
  test::Questions questions;
  log_.Clear();
  const auto write = [this](int key) {
    CTableEditor* editor = Open(key);
    Click(editor, te::kWriteDeviceButton);
    ButtonOf(editor, te::kCloseButton)->click();
  };
  write(fk::kCustomRtdButton);
  write(fk::kSpecialCurveButton);
  write(fk::kCustomTcButton);  // the confirmation is cancelled
  ASSERT_EQ(questions.Seen().size(), 3u);
  EXPECT_EQ(questions.Seen()[0].text, UIText("Sensor_Type_Error_RTD"));
  EXPECT_EQ(questions.Seen()[1].text, UIText("XFER_Error_SC"));
  EXPECT_EQ(questions.Seen()[2].text, UIText("Confr_Download_CustomTC"));
  EXPECT_TRUE(log_.Requests().empty());

  sim_.Modify([](sim::DeviceState& s) { s.sensorType = CustomTcSensorCode; });
  StartWindow();
  Connect();
  write(fk::kCustomTcButton);
  EXPECT_EQ(questions.Seen().back().text, UIText("Sensor_Type_Error_TC"));
}

// A table read from the device goes to a file as a table of its own kind only; its graph
// runs over the temperatures.
TEST_F(TableEditorTest, ADeviceTableGoesToAFileOfItsKindAndToTheGraph) {
  sim_.Modify([](sim::DeviceState& s) {
    s.rtdTable = Table(-50, 25, {80.5f, 90.25f, 100.0f, 109.75f});
    s.rtdTable.configured = false;
  });
  Connect();
  CTableEditor* rtd = Open(fk::kCustomRtdButton);
  EXPECT_FALSE(ButtonOf(rtd, te::kWriteFileButton)->isEnabled());
  Click(rtd, te::kReadDeviceButton);
  EXPECT_EQ(TextOf(rtd, te::kStatusValue), "Non configured");
  EXPECT_EQ(TextOf(rtd, te::kMaximumValue), "25");
  EXPECT_EQ(TextOf(rtd, te::kSizeValue), "4");
  const QString pictures = qEnvironmentVariable("VA5VIVI_SCREENSHOT_DIR");
  if (!pictures.isEmpty()) window_->grab().save(QDir(pictures).filePath("custom-rtd.png"));
  Click(rtd, te::kWriteFileButton);
  EXPECT_EQ(saves_, 1);
  QFile file(path_);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QByteArray text = file.readAll();
  EXPECT_TRUE(text.contains("Minimum RTD Temperature = -50\r\nStep = 25\r\n{\r\n80.500000\r\n"
                            "90.250000\r\n100.000000\r\n109.750000\r\n}\r\n"))
      << text.toStdString();

  Click(rtd, te::kGraphButton);
  CCustomGraph* graph = rtd->Graph();
  ASSERT_TRUE(graph->isVisible());
  EXPECT_EQ(graph->Title(), UIText("RTD_Table_Name"));
  EXPECT_EQ(graph->Graph()->Series().Times(), (std::vector<double>{-50, -25, 0, 25}));
  EXPECT_EQ(graph->Graph()->Series().Values(), (std::vector<double>{80.5, 90.25, 100, 109.75}));
  EXPECT_FALSE(ButtonOf(rtd, te::kGraphButton)->isEnabled());
  if (!pictures.isEmpty()) window_->grab().save(QDir(pictures).filePath("custom-rtd-graph.png"));
  graph->CloseButton()->click();
  EXPECT_FALSE(graph->isVisible());
  EXPECT_TRUE(ButtonOf(rtd, te::kGraphButton)->isEnabled());

  // The TC editor shares the copy, which holds an RTD table.
  ButtonOf(rtd, te::kCloseButton)->click();
  CTableEditor* tc = Open(fk::kCustomTcButton);
  EXPECT_FALSE(ButtonOf(tc, te::kWriteFileButton)->isEnabled());
}

// The table on screen is what goes to a file, whichever source it came from: after a device
// read and then a file read, the file's points byte for byte. The source, the status word and
// the point list follow the table; a custom TC table read from the device is drawn.
TEST_F(TableEditorTest, TheTableOnScreenGoesToAFileAndTheGraph) {
  Connect();
  CTableEditor* rtd = Open(fk::kCustomRtdButton);
  Click(rtd, te::kReadDeviceButton);
  EXPECT_EQ(rtd->TableSource(), CTableEditor::Source::Device);
  EXPECT_TRUE(ShownValue(rtd->SourceLabel()).contains(QStringLiteral("TT-101")));

  const std::vector<double> values{100.0, 103.9, 107.79};
  std::string text;
  for (const std::string& line :
       CFileOperations::CustomTableLines(CommentHeader(TableKind::Rtd), "RTD", -20, 10, values))
    text += line + "\r\n";
  WriteFile(text);
  Click(rtd, te::kReadFileButton);
  EXPECT_EQ(rtd->TableSource(), CTableEditor::Source::File);
  EXPECT_EQ(ShownValue(rtd->SourceLabel()), QStringLiteral("File table.txt"));
  EXPECT_EQ(TextOf(rtd, te::kStatusValue), "From file");
  // The points are listed beside the graph, temperature and value.
  Click(rtd, te::kGraphButton);
  QTableWidget* points = rtd->Graph()->Points();
  ASSERT_EQ(points->rowCount(), 3);
  EXPECT_EQ(points->item(2, 0)->text(), "0");
  EXPECT_EQ(points->item(2, 1)->text(), "107.79");
  rtd->Graph()->CloseButton()->click();
  EXPECT_EQ(points->rowCount(), 0);
  ASSERT_TRUE(ButtonOf(rtd, te::kWriteFileButton)->isEnabled());
  path_ = dir_.filePath(QStringLiteral("again.txt"));
  Click(rtd, te::kWriteFileButton);
  QFile again(path_);
  ASSERT_TRUE(again.open(QIODevice::ReadOnly));
  EXPECT_EQ(again.readAll().toStdString(), text);

  // A refused file leaves no table on screen, and nothing to write.
  test::Questions questions;
  path_ = dir_.filePath(QStringLiteral("table.txt"));
  WriteFile("Minimum RTD Temperature = 0\nStep = 5\n{\n100\n}\n");
  Click(rtd, te::kReadFileButton);
  EXPECT_FALSE(rtd->TablePresent());
  EXPECT_EQ(rtd->TableSource(), CTableEditor::Source::None);
  EXPECT_FALSE(ButtonOf(rtd, te::kWriteFileButton)->isEnabled());
  ButtonOf(rtd, te::kCloseButton)->click();

  CTableEditor* tc = Open(fk::kCustomTcButton);
  EXPECT_EQ(tc->TableSource(), CTableEditor::Source::None);
  Click(tc, te::kReadDeviceButton);
  EXPECT_EQ(TextOf(tc, te::kStatusValue), "Configured");
  Click(tc, te::kGraphButton);
  ASSERT_TRUE(tc->Graph()->isVisible());
  const sim::CustomTable device = sim_.State().tcTable;
  const std::vector<double> drawn = tc->Graph()->Graph()->Series().Values();
  ASSERT_EQ(drawn.size(), device.values.size());
  for (std::size_t i = 0; i < drawn.size(); ++i) EXPECT_FLOAT_EQ(drawn[i], device.values[i]);
  EXPECT_EQ(tc->Graph()->Graph()->Series().Times().back(),
            device.minimum + device.step * (device.size - 1));
  EXPECT_EQ(tc->Graph()->Points()->rowCount(), device.size);
}

// The special curve travels as fractions and draws X against Y; a refused point (208) stops
// the write with the buttons usable again.
TEST_F(TableEditorTest, SpecialCurveToTheDeviceAndItsGraph) {
  Connect();
  CTableEditor* curve = Open(fk::kSpecialCurveButton);
  test::Questions questions;
  questions.Answer(UIText("Confr_Download_Linearization"), {kAnswerYes});
  questions.Answer(UIText("Confr_Loop_Table_Write"), {kAnswerYes});
  WriteFile("{\n0,-10\n50,40\n100,110\n}\n");
  Click(curve, te::kReadFileButton);
  EXPECT_EQ(TextOf(curve, te::kMaximumValue), "100");
  log_.Clear();
  Click(curve, te::kWriteDeviceButton);
  EXPECT_EQ(WrittenIndices(191), (std::vector<int>{0, 1, 2, 9999}));
  EXPECT_EQ(sim_.State().curve.x, (std::vector<float>{0.0f, 0.5f, 1.0f}));
  EXPECT_EQ(sim_.State().curve.y, (std::vector<float>{-0.1f, 0.4f, 1.1f}));

  Click(curve, te::kGraphButton);
  EXPECT_EQ(curve->Graph()->Title(), UIText("SC_Table_Name"));
  EXPECT_EQ(curve->Graph()->Graph()->Series().Values(), (std::vector<double>{-10, 40, 110}));
  curve->Graph()->CloseButton()->click();

  sim_.InjectFault({.kind = sim::Fault::Kind::ResponseCode,
                    .count = -1,
                    .command = 191,
                    .value = sim::RcInvalidSelection});
  log_.Clear();
  Click(curve, te::kWriteDeviceButton);
  EXPECT_EQ(WrittenIndices(191), std::vector<int>{0});
  EXPECT_EQ(questions
                .Starting(UIText("Err_CMD",
                                 {"191 (Write special curve point)", "2", "invalid selection"}))
                .size(),
            1u);
  // The header went out, no point was taken: the box says so.
  EXPECT_EQ(questions.Starting(UIText("Err_Table_Header_Written", {"3"})).size(), 1u);
  for (int id : {te::kReadDeviceButton, te::kWriteDeviceButton, te::kReadFileButton})
    EXPECT_TRUE(ButtonOf(curve, id)->isEnabled()) << id;
}

// Named and unclipped in both languages; pictures go to VA5VIVI_SCREENSHOT_DIR when it is set.
TEST_F(TableEditorTest, NamedAndUnclippedInBothLanguages) {
  for (const char* language : {"English.lng", "Japanese.lng"}) {
    StartWindow(language);
    Connect();
    for (int key : {fk::kCustomRtdButton, fk::kCustomTcButton, fk::kSpecialCurveButton}) {
      CTableEditor* editor = Open(key);
      for (QLabel* label : editor->findChildren<QLabel*>())
        EXPECT_GE(label->width(), label->sizeHint().width()) << label->text().toStdString();
      for (QPushButton* button : editor->findChildren<QPushButton*>()) {
        if (!button->isVisible()) continue;
        EXPECT_EQ(button->accessibleName(), button->text());
        EXPECT_GE(button->width(), button->sizeHint().width()) << button->text().toStdString();
      }
      for (QLabel* value : editor->findChildren<QLabel*>()) {
        if (ControlId(value) == te::kSizeValue) {
          EXPECT_EQ(value->accessibleName(), TextOf(editor, te::kSizeLabel));
        }
      }
      const QString pictures = qEnvironmentVariable("VA5VIVI_SCREENSHOT_DIR");
      if (!pictures.isEmpty())
        window_->grab().save(
            QDir(pictures).filePath(QString("%1-%2.png")
                                        .arg(key == fk::kCustomRtdButton  ? "custom-rtd"
                                             : key == fk::kCustomTcButton ? "custom-tc"
                                                                          : "special-curve")
                                        .arg(QString(language).left(2).toLower())));
      ButtonOf(editor, te::kCloseButton)->click();
    }
  }
}

TEST(FileDialogFilterTest, NamesEachPatternOnceInEitherLanguage) {
  for (const auto& [file, expected] :
       {std::pair{"English.lng", "Text Files (*.txt);;All Files (*)"},
        std::pair{"Japanese.lng", "テキストファイル (*.txt);;すべてのファイル (*)"}}) {
    TheResourceDatabase().InitEmpty();
    TheResourceDatabase().Load(file, {VA5VIVI_RESOURCES_DIR});
    EXPECT_EQ(FileDialogFilter(), QString::fromUtf8(expected)) << file;
  }
  TheResourceDatabase().InitEmpty();
}

}  // namespace
}  // namespace va5
