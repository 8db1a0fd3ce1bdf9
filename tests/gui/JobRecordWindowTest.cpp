// The job record as the window keeps it, against the simulated transmitter: settings written
// through the sensor panel, a sensor trim, a write the device refused, then "Disconnect"
// answered with Save: the record read back field by field and its PDF read back as text. And
// the job carried over a lost link to the same device, and left on Cancel, Discard.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <sstream>

#include "gui/AppSettings.h"
#include "gui/JobKeeper.h"
#include "gui/JobRecordDialog.h"
#include "gui/Panel.h"
#include "gui/panels/ConnectDevice.h"
#include "gui/panels/SensorInfo.h"
#include "lang/ControlIds.h"
#include "session/JobRecord.h"
#include "testing/ProcessSupport.h"
#include "tests/gui/PanelTestSupport.h"

namespace va5 {
namespace {

namespace fk = ids::function_keys;
namespace si = ids::sensor_info;
namespace sc = ids::sensor_calib;
using test::Enter;
using test::UIText;

std::vector<std::string> PdfLines(const QString& pdf) {
  const std::string tool = QStandardPaths::findExecutable("pdftotext").toStdString();
  if (tool.empty()) return {};
  const auto r = test::RunProcess({tool, "-layout", pdf.toStdString(), "-"});
  EXPECT_EQ(r.status, 0) << r.err;
  std::vector<std::string> lines;
  std::istringstream in(r.out);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// The one line holding `what`, and it holds every one of `also`.
void ExpectLine(const std::vector<std::string>& lines, const std::string& what,
                const std::vector<std::string>& also) {
  int found = 0;
  for (const std::string& line : lines) {
    if (line.find(what) == std::string::npos) continue;
    ++found;
    for (const std::string& part : also) EXPECT_NE(line.find(part), std::string::npos) << line;
  }
  EXPECT_EQ(found, 1) << what;
}

std::string Row(const session::JobConfiguration& rows, const std::string& key) {
  for (const auto& r : rows) {
    if (r.key == key) return r.value;
  }
  return "(missing)";
}

class JobRecordWindowTest : public test::ConnectedWindowTest {
 protected:
  void SetUp() override {
    ConnectedWindowTest::SetUp();
    // On the bench: the loop question (LoopSafetyTest asks it) is not what is recorded here.
    settings_->SetConfirmLoopChange(false);
    settings_->SaveConfirmLoopChange();
    // A steady input, undamped, so that the trim's reading after is exactly its reference.
    sim_.Modify([](sim::DeviceState& s) {
      s.processValue = 42.5;
      s.damping = 0.0;
    });
    keeper_ = window_->findChild<CJobKeeper*>();
    ASSERT_NE(keeper_, nullptr);
    keeper_->SetSaveDialog(
        [this](QWidget*, const QString&, const QString& suggested, const QString&) {
          suggested_.push_back(suggested);
          // The record, then its PDF: named without a suffix, which is added.
          return folder_.filePath("job");
        });
  }

  void PressDisconnect() {
    Key(fk::kConnectButton)->click();
    window_->ConnectPanel()->Button(ids::connect_panel::kDisconnectButton)->click();
  }

  // The job record dialog: the footer typed in, then Save.
  static test::ModalScript::Action FillInAndSave() {
    return [](QDialog& dialog) {
      auto* job = qobject_cast<CJobRecordDialog*>(&dialog);
      ASSERT_NE(job, nullptr) << dialog.windowTitle().toStdString();
      job->TechnicianEdit()->setText("A. Tanaka");
      job->InstrumentEdit()->setText("Calibrator 4711");
      job->ToleranceEdit()->setText("0.05");
      job->NotesEdit()->setPlainText("Loop checked.");
      job->SaveButton()->click();
    };
  }

  CJobKeeper* keeper_ = nullptr;
  QTemporaryDir folder_;
  std::vector<QString> suggested_;
};

TEST_F(JobRecordWindowTest, RecordedThroughTheWindowAndSavedOnDisconnect) {
  Connect();
  test::Questions questions;
  CPanel* calib = OpenPanel(fk::kSensorCalButton);
  Click(calib, sc::kZeroButton, {Enter("40")});
  // The trim's reading after comes with the next poll.
  ASSERT_TRUE(WaitMonitoring());
  ASSERT_EQ(keeper_->Job().trims.size(), 1u);
  EXPECT_TRUE(keeper_->Job().trims[0].after.has_value());
  window_->ShowHome();
  QWidget* sensor = window_->findChild<CSensorInfo*>();
  Click(sensor, si::kDampingButton, {Enter("3")});
  Click(sensor, si::kPvRangeButton, {Enter("150"), Enter("-10")});
  sim_.InjectFault({.kind = sim::Fault::Kind::ResponseCode,
                    .count = 1,
                    .command = 34,
                    .value = sim::RcTooLarge});
  Click(sensor, si::kDampingButton, {Enter("5")});
  ASSERT_TRUE(WaitMonitoring());
  EXPECT_TRUE(keeper_->Unsaved());

  // Cancel stays connected; Yes opens the dialog, whose Save closes and writes the job.
  const QString ask = UIText("Confr_Save_Job", {"TT-101"});
  questions.Answer(ask, {kAnswerCancel, kAnswerYes});
  PressDisconnect();
  EXPECT_TRUE(window_->Connected());
  {
    test::ModalScript script({FillInAndSave()});
    PressDisconnect();
    EXPECT_TRUE(script.Finished());
  }
  EXPECT_FALSE(window_->Connected());
  EXPECT_EQ(questions.Starting(ask).size(), 2u);
  ASSERT_EQ(suggested_.size(), 2u);
  EXPECT_TRUE(suggested_[0].endsWith(".json") && suggested_[0].contains("job-TT-101-"));
  EXPECT_TRUE(suggested_[1].endsWith(folder_.filePath("job.pdf")));
  EXPECT_FALSE(keeper_->Unsaved());

  std::string error;
  const auto job = session::LoadJob(folder_.filePath("job.json").toStdString(), error);
  ASSERT_TRUE(job) << error;
  EXPECT_EQ(job->device.model, "TQ5R");
  EXPECT_EQ(job->device.tag, "TT-101");
  EXPECT_EQ(job->device.deviceId, "293");  // 0x000125
  EXPECT_EQ(job->device.port, portDir_.filePath(QStringLiteral("SIM9")).toStdString());
  EXPECT_EQ(job->technician, "A. Tanaka");
  EXPECT_EQ(job->notes, "Reference instrument: Calibrator 4711\nLoop checked.");
  EXPECT_FALSE(job->opened.empty());
  EXPECT_FALSE(job->closed.empty());  // read again before the link went
  EXPECT_EQ(Row(job->asFound, "PV Damping"), "0.000");
  EXPECT_EQ(Row(job->asLeft, "PV Damping"), "3.000");
  EXPECT_EQ(Row(job->asFound, "PV Upper Range"), "100.000");
  EXPECT_EQ(Row(job->asLeft, "PV Upper Range"), "150.000");
  EXPECT_EQ(Row(job->asLeft, "PV Lower Range"), "-10.000");
  EXPECT_EQ(Row(job->asLeft, "Tag"), "TT-101");

  ASSERT_EQ(job->writes.size(), 3u);
  const session::JobWrite& damping = job->writes[0];
  EXPECT_EQ(damping.setting, "damping");
  EXPECT_EQ(damping.before, "0.000");
  EXPECT_EQ(damping.requested, "3.000");  // as the entry normalised it
  EXPECT_EQ(damping.answered, "3.000");
  EXPECT_EQ(damping.outcome, session::JobOutcome{});
  EXPECT_EQ(job->writes[1].setting, "range");
  EXPECT_EQ(job->writes[1].before, "100.000 / 0.000");
  EXPECT_EQ(job->writes[1].answered, "150.000 / -10.000");
  EXPECT_EQ(job->writes[1].outcome.result, session::JobResult::Done);
  const session::JobWrite& refused = job->writes[2];
  EXPECT_EQ(refused.setting, "damping");
  EXPECT_EQ(refused.before, "3.000");
  EXPECT_EQ(refused.requested, "5.000");
  EXPECT_EQ(refused.answered, "");
  EXPECT_EQ(refused.outcome.result, session::JobResult::Refused);
  EXPECT_EQ(refused.outcome.responseCode, sim::RcTooLarge);
  EXPECT_FALSE(refused.outcome.detail.empty());

  ASSERT_EQ(job->trims.size(), 1u);
  const session::JobTrim& trim = job->trims[0];
  EXPECT_EQ(trim.kind, "sensor zero");
  EXPECT_EQ(trim.unit, "degC");
  EXPECT_EQ(trim.reference, 40.0);
  ASSERT_TRUE(trim.before && trim.after);
  EXPECT_NEAR(*trim.before, 42.5, 1e-4);
  EXPECT_NEAR(*trim.after, 40.0, 1e-4);  // the first poll after the trim
  EXPECT_DOUBLE_EQ(trim.span, 100.0);
  EXPECT_EQ(trim.outcome.result, session::JobResult::Done);

  CAppSettings stored;
  stored.Load();
  EXPECT_EQ(stored.Technician(), "A. Tanaka");

  const auto lines = PdfLines(folder_.filePath("job.pdf"));
  if (lines.empty()) GTEST_SKIP() << "no pdftotext (poppler-utils)";
  // The tag in both configurations, unchanged.
  int tagRows = 0;
  for (const std::string& line : lines) {
    const auto first = line.find("TT-101");
    if (first == std::string::npos || line.find("TT-101", first + 1) == std::string::npos) continue;
    ++tagRows;
    EXPECT_EQ(line.find("changed"), std::string::npos) << line;
  }
  EXPECT_EQ(tagRows, 1);
  ExpectLine(lines, "PV Damping", {"0.000", "3.000", "changed"});
  ExpectLine(lines, "PV Upper Range", {"100.000", "150.000", "changed"});
  ExpectLine(lines, "PV Lower Range", {"0.000", "-10.000", "changed"});
  ExpectLine(lines, "Calibrator 4711", {});
  ExpectLine(lines, "0.050 %", {});  // the tolerance entered judges the trim
}

TEST_F(JobRecordWindowTest, KeptAcrossALostLinkToTheSameDeviceAndDiscardedOnRequest) {
  Connect();
  test::Questions questions;
  QWidget* sensor = window_->findChild<CSensorInfo*>();
  Click(sensor, si::kDampingButton, {Enter("3")});
  const std::string opened = keeper_->Job().opened;

  // The link goes without a word of the technician: nothing is asked, the job stays.
  questions.Answer(UIText("Err_COM", {window_->PortName()}), {kAnswerCancel});
  sim_.InjectFault({.kind = sim::Fault::Kind::Silence});
  ASSERT_TRUE(QTest::qWaitFor([&] { return !window_->Connected(); }, 20000));
  sim_.ClearFaults();
  EXPECT_EQ(keeper_->Job().writes.size(), 1u);
  {
    // Off line, Exit still offers the unsaved job; Cancel keeps the window.
    test::Questions exit;
    const QString save = UIText("Confr_Save_Job").left(18);
    exit.Answer(UIText("Apllication_Close"), {kAnswerYes});
    exit.Answer(save, {kAnswerCancel});
    window_->close();
    EXPECT_TRUE(window_->isVisible());
    EXPECT_EQ(exit.Starting(save).size(), 1u);
  }

  // The same device again: the job goes on from where it was, as found as it was found.
  Connect();
  session::JobRecord job = keeper_->Job();
  EXPECT_EQ(job.opened, opened);
  EXPECT_EQ(Row(job.asFound, "PV Damping"), "0.000");
  Click(sensor, si::kDampingButton, {Enter("4")});
  job = keeper_->Job();
  ASSERT_EQ(job.writes.size(), 2u);
  EXPECT_EQ(job.writes[1].before, "3.000");  // the connection's upload read it

  // The dialog shows both writes and their results.
  {
    CJobRecordDialog dialog(*keeper_, window_.get());
    ASSERT_EQ(dialog.Table()->rowCount(), 2);
    EXPECT_EQ(dialog.Table()->item(1, CJobRecordDialog::kRequestedColumn)->text(), "4.000");
    EXPECT_EQ(dialog.Table()->item(1, CJobRecordDialog::kResultColumn)->text(), "done");
  }

  // No: the job is forgotten, and the next connection starts a new one.
  questions.Answer(UIText("Confr_Save_Job", {"TT-101"}), {kAnswerNo});
  PressDisconnect();
  EXPECT_FALSE(window_->Connected());
  Connect();
  job = keeper_->Job();
  EXPECT_TRUE(job.writes.empty());
  EXPECT_EQ(Row(job.asFound, "PV Damping"), "4.000");
  EXPECT_FALSE(keeper_->Unsaved());
  EXPECT_EQ(questions.Starting(UIText("Confr_Save_Job", {"TT-101"})).size(), 1u);

  // Work left unsaved by a lost link is offered for saving when another device connects.
  Click(sensor, si::kDampingButton, {Enter("5")});
  sim_.InjectFault({.kind = sim::Fault::Kind::Silence});
  ASSERT_TRUE(QTest::qWaitFor([&] { return !window_->Connected(); }, 20000));
  sim_.ClearFaults();
  sim_.Modify([](sim::DeviceState& s) { s.deviceId = 0x000126; });
  const QString other = UIText("Confr_Save_Other_Job", {"TT-101"});
  questions.Answer(other, {kAnswerNo});
  Connect();
  EXPECT_EQ(questions.Starting(other).size(), 1u);
  EXPECT_TRUE(keeper_->Job().writes.empty());
  EXPECT_EQ(keeper_->Job().device.deviceId, "294");
}

}  // namespace
}  // namespace va5
