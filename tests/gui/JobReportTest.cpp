// The job record's PDF as a reader sees it (pdftotext): the tag, both configurations with the
// changed rows marked, the writes and the trim's verdict, in English and Japanese; and
// "va5vivi --report" without a window. VA5VIVI_JOB_REPORT_PICTURES=DIR keeps both PDFs there.
#include "gui/report/JobReportPdf.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <sstream>

#include "lang/ResourceDatabase.h"
#include "testing/ProcessSupport.h"

namespace va5 {
namespace {

session::JobRecord SampleJob() {
  session::JobRecord job;
  job.opened = "2024-05-01T09:00:00Z";
  job.closed = "2024-05-01T09:40:00Z";
  job.program = "VA5VIVI 1.0.0";
  job.technician = "A. Tanaka";
  job.notes = "Loop checked after the range change.";
  job.device = {"Kerrin CO", "TQ5R", "4660", "TT-7731", "OUTLET TEMP", "5678", "100234",
                "5",         "3",    "12",   "2.0",     0,             "/dev/ttyUSB0"};
  job.asFound = session::JobConfiguration{{"Tag", "TT-7731"},
                                          {"PV Upper Range", "100.000"},
                                          {"PV Damping", "2.000"},
                                          {"Message", "OLD NOTE"}};
  job.asLeft = job.asFound;
  job.asLeft[1].value = "150.000";
  job.asLeft[2].value = "3.000";
  job.writes = {{"2024-05-01T09:10:00Z", "damping", "2.000", "3", "3.000", {}},
                {"2024-05-01T09:11:00Z", "range", "100.000 / 0.000", "150 0", "150.000 / 0.000", {}},
                {"2024-05-01T09:12:00Z", "message", "OLD NOTE", "NEW", "",
                 {session::JobResult::Refused, 7, "the device is in write-protect mode"}}};
  session::JobTrim trim;
  trim.time = "2024-05-01T09:20:00Z";
  trim.kind = "sensor zero";
  trim.unit = "degC";
  trim.reference = 0.0;
  trim.before = 0.42;
  trim.after = 0.5;  // 0.5 % of a 100 degC span: beyond 0.1 %
  trim.span = 100;
  job.trims = {trim};
  return job;
}

// poppler-utils' pdftotext, empty when it is not installed.
std::string PdfToText() {
  return QStandardPaths::findExecutable(QStringLiteral("pdftotext")).toStdString();
}

std::vector<std::string> PdfLines(const QString& pdf) {
  const auto r = test::RunProcess({PdfToText(), "-layout", pdf.toStdString(), "-"});
  EXPECT_EQ(r.status, 0) << r.err;
  std::vector<std::string> lines;
  std::istringstream in(r.out);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// The one line that holds `what`.
std::string LineWith(const std::vector<std::string>& lines, const std::string& what) {
  std::string found;
  for (const auto& line : lines) {
    if (line.find(what) == std::string::npos) continue;
    EXPECT_TRUE(found.empty()) << what << " twice:\n" << found << "\n" << line;
    found = line;
  }
  EXPECT_FALSE(found.empty()) << what << " not found";
  return found;
}

TEST(JobReportTest, PdfShowsBothConfigurationsWithTheChangedRowsInEitherLanguage) {
  if (PdfToText().empty()) GTEST_SKIP() << "no pdftotext (poppler-utils)";
  QTemporaryDir folder;
  const QString keep = qEnvironmentVariable("VA5VIVI_JOB_REPORT_PICTURES");
  const struct {
    const char *file, *changed, *refused, *fail;
  } languages[] = {{"English", "changed", "refused", "FAIL"},
                   {"Japanese", "変更", "拒否", "不合格"}};
  for (const auto& language : languages) {
    SCOPED_TRACE(language.file);
    TheResourceDatabase().InitEmpty();
    TheResourceDatabase().Load(std::string(language.file) + ".lng", {VA5VIVI_RESOURCES_DIR});
    const QString pdf = (keep.isEmpty() ? folder.path() : keep) + "/job-report-" +
                        QString::fromLatin1(language.file) + ".pdf";
    ASSERT_EQ(WriteJobReportPdf(SampleJob(), pdf), QString());
    const auto lines = PdfLines(pdf);
    // The identity, and the tag row of both configurations unchanged.
    EXPECT_NE(LineWith(lines, "OUTLET TEMP").find("TT-7731"), std::string::npos);
    int tagRows = 0;
    for (const std::string& line : lines) {
      const auto first = line.find("TT-7731");
      if (first == std::string::npos || line.find("TT-7731", first + 1) == std::string::npos) {
        continue;
      }
      ++tagRows;
      EXPECT_EQ(line.find(language.changed), std::string::npos) << line;
    }
    EXPECT_EQ(tagRows, 1);
    // Setting, as found, as left and the mark, on one line each.
    const std::string damping = LineWith(lines, "PV Damping");
    EXPECT_NE(damping.find("2.000"), std::string::npos) << damping;
    EXPECT_NE(damping.find("3.000"), std::string::npos) << damping;
    EXPECT_NE(damping.find(language.changed), std::string::npos) << damping;
    EXPECT_NE(LineWith(lines, "PV Upper Range").find(language.changed), std::string::npos);
    EXPECT_EQ(LineWith(lines, "Message").find(language.changed), std::string::npos);
    EXPECT_NE(LineWith(lines, "NEW").find(language.refused), std::string::npos);
    EXPECT_NE(LineWith(lines, "0.500 %").find(language.fail), std::string::npos);
    EXPECT_NE(LineWith(lines, "A. Tanaka").find("2024-05-01"), std::string::npos);
  }
}

TEST(JobReportTest, ReportCommandWritesThePdfWithoutAWindowOrSaysWhyNot) {
  QTemporaryDir folder;
  const std::string json = folder.filePath("job.json").toStdString();
  const std::string pdf = folder.filePath("job.pdf").toStdString();
  ASSERT_FALSE(session::SaveJob(SampleJob(), json));
  auto r = test::RunProcess({VA5VIVI_APP, "--report", json, pdf});
  EXPECT_EQ(r.status, 0) << r.err;
  QFile written(QString::fromStdString(pdf));
  ASSERT_TRUE(written.open(QIODevice::ReadOnly));
  EXPECT_TRUE(written.read(5) == "%PDF-");

  QFile(QString::fromStdString(json)).resize(40);  // cut short: no longer a job record
  const std::string other = folder.filePath("other.pdf").toStdString();
  r = test::RunProcess({VA5VIVI_APP, "--report", json, other});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("not a JSON file"), std::string::npos) << r.err;
  EXPECT_FALSE(QFile::exists(QString::fromStdString(other)));
}

}  // namespace
}  // namespace va5
