#include "gui/report/JobReportPdf.h"

#include <QApplication>
#include <QFileInfo>
#include <QFont>
#include <QMarginsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QSaveFile>
#include <QTextDocument>
#include <cstdio>
#include <string_view>

#include "base/NumberText.h"
#include "gui/AppSettings.h"
#include "gui/LanguageFolders.h"
#include "gui/Localise.h"
#include "lang/PrivateException.h"
#include "lang/ResourceDatabase.h"

namespace va5 {

namespace {

using session::JobRecord;
using session::JobResult;

QString Escaped(const std::string& text) { return ToQString(text).toHtmlEscaped(); }
QString T(const char* key, const char* english, const std::vector<std::string>& args = {}) {
  return DisplayText(key, english, args).toHtmlEscaped();
}

QString Number(const std::optional<double>& value, int decimals) {
  return value ? ToQString(FormatFixed(*value, decimals)) : QStringLiteral("&ndash;");
}

QString Heading(const QString& text) { return QStringLiteral("<h3>%1</h3>").arg(text); }

// A table with a header row; `rows` are already HTML.
QString Table(const QStringList& headers, const QStringList& rows) {
  QString html = QStringLiteral(
      "<table width=\"100%\" border=\"1\" cellspacing=\"0\" cellpadding=\"3\" "
      "style=\"border-collapse:collapse; border-color:#888888; border-style:solid;\"><tr>");
  for (const QString& h : headers) html += QStringLiteral("<th bgcolor=\"#e8e8e8\">%1</th>").arg(h);
  return html + QStringLiteral("</tr>") + rows.join(QString()) + QStringLiteral("</table>");
}

// A row; its first cell (a time, a setting's name) is never broken.
QString Row(const QStringList& cells, const QString& background = {}) {
  QString html = background.isEmpty() ? QStringLiteral("<tr>")
                                      : QStringLiteral("<tr bgcolor=\"%1\">").arg(background);
  for (qsizetype i = 0; i < cells.size(); ++i) {
    html += (i == 0 ? QStringLiteral("<td style=\"white-space:nowrap\">%1</td>")
                    : QStringLiteral("<td>%1</td>"))
                .arg(cells[i]);
  }
  return html + QStringLiteral("</tr>");
}

QString None() { return QStringLiteral("<p>%1</p>").arg(T("Job_None", "none")); }

QString ResultText(const session::JobOutcome& o) {
  QString text;
  switch (o.result) {
    case JobResult::Done:
      text = T("Job_Result_Done", "done");
      break;
    case JobResult::Refused:
      text = T("Job_Result_Refused", "refused");
      break;
    case JobResult::NotConfirmed:
      text = T("Job_Result_Not_Confirmed", "not confirmed");
      break;
  }
  if (o.responseCode >= 0) {
    text += QStringLiteral(" (%1)").arg(T("Job_Response_Code", "response code %1: %2",
                                          {std::to_string(o.responseCode), o.detail}));
  } else if (!o.detail.empty()) {
    text += QStringLiteral("<br><small>%1</small>").arg(Escaped(o.detail));
  }
  return o.result == JobResult::Done ? text
                                     : QStringLiteral("<b>%1</b>").arg(text);
}

QString IdentityHtml(const JobRecord& job) {
  const session::JobDevice& d = job.device;
  const std::pair<QString, std::string> rows[] = {
      {T("Job_Tag", "Tag"), d.tag},
      {T("Job_Descriptor", "Descriptor"), d.descriptor},
      {T("Job_Manufacturer", "Manufacturer"), d.manufacturer},
      {T("Job_Model", "Model"), d.model},
      {T("Job_Device_ID", "Device ID"), d.deviceId},
      {T("Job_Serial_Number", "Sensor serial number"), d.serialNumber},
      {T("Job_Final_Assembly", "Final assembly number"), d.finalAssemblyNumber},
      {T("Job_Revisions", "Revisions (universal / device / software / hardware)"),
       d.universalRevision + " / " + d.specificRevision + " / " + d.softwareRevision + " / " +
           d.hardwareRevision},
      {T("Job_Polling_Address", "Polling address"), std::to_string(d.pollingAddress)},
      {T("Job_Port", "Port"), d.port},
      {T("Job_Opened", "Opened (UTC)"), job.opened},
  };
  QStringList cells;
  for (const auto& [name, value] : rows) {
    cells << QStringLiteral("<td width=\"20%\"><b>%1</b></td><td width=\"30%\">%2</td>")
                 .arg(name, Escaped(value));
  }
  cells << QStringLiteral("<td><b>%1</b></td><td>%2</td>")
               .arg(T("Job_Closed", "Closed (UTC)"),
                    job.closed.empty() ? T("Job_Still_Open", "not closed") : Escaped(job.closed));
  QString html = QStringLiteral("<table width=\"100%\" cellspacing=\"0\" cellpadding=\"2\">");
  // Two pairs a line.
  for (int i = 0; i < cells.size(); i += 2) {
    html += QStringLiteral("<tr>") + cells[i] + (i + 1 < cells.size() ? cells[i + 1] : QString()) +
            QStringLiteral("</tr>");
  }
  return Heading(T("Job_Device", "Device")) + html + QStringLiteral("</table>");
}

QString ConfigurationHtml(const JobRecord& job) {
  const QString notRead = QStringLiteral("<i>%1</i>").arg(T("Job_Not_Read", "not read"));
  QStringList rows;
  for (const session::JobComparedRow& r : session::CompareFoundAndLeft(job)) {
    rows << Row({Escaped(r.key), job.asFound.empty() ? notRead : Escaped(r.found),
                 job.asLeft.empty() ? notRead : Escaped(r.left),
                 r.changed ? QStringLiteral("<b>%1</b>").arg(T("Job_Changed", "changed"))
                           : QString()},
                r.changed ? QStringLiteral("#fff2a8") : QString());
  }
  return Heading(T("Job_Configuration", "Configuration")) +
         (rows.isEmpty() ? None()
                         : Table({T("Job_Setting", "Setting"), T("Job_As_Found", "As found"),
                                  T("Job_As_Left", "As left"), QString()},
                                 rows));
}

QString WritesHtml(const JobRecord& job) {
  QStringList rows;
  for (const session::JobWrite& w : job.writes) {
    rows << Row({Escaped(w.time), Escaped(w.setting), Escaped(w.before), Escaped(w.requested),
                 Escaped(w.answered), ResultText(w.outcome)},
                w.outcome.result == JobResult::Done ? QString() : QStringLiteral("#fde0e0"));
  }
  return Heading(T("Job_Writes", "Writes")) +
         (rows.isEmpty() ? None()
                         : Table({T("Job_Time", "Time (UTC)"), T("Job_Setting", "Setting"),
                                  T("Job_Before", "Before"), T("Job_Requested", "Requested"),
                                  T("Job_Answered", "Answered"), T("Job_Result", "Result")},
                                 rows));
}

QString TrimsHtml(const JobRecord& job, double tolerance) {
  QStringList rows;
  for (const session::JobTrim& t : job.trims) {
    const auto deviation = session::TrimDeviation(t);
    const auto passed = session::TrimPassed(t, tolerance);
    const QString verdict = !passed    ? T("Job_Not_Judged", "not judged")
                            : *passed ? T("Job_Pass", "pass")
                                      : QStringLiteral("<b>%1</b>").arg(T("Job_Fail", "FAIL"));
    const QString unit = Escaped(t.unit);
    rows << Row({Escaped(t.time), Escaped(t.kind), Number(t.reference, 4) + " " + unit,
                 Number(t.before, 4) + " " + unit, Number(t.after, 4) + " " + unit,
                 deviation ? ToQString(FormatFixed(*deviation, 3)) + QStringLiteral(" %")
                           : QStringLiteral("&ndash;"),
                 verdict + QStringLiteral("<br>") + ResultText(t.outcome)},
                passed && !*passed ? QStringLiteral("#fde0e0") : QString());
  }
  const std::string limit = FormatFixed(tolerance, 3) + " %";
  return Heading(T("Job_Trims", "Trims (tolerance %1 of span)", {limit})) +
         (rows.isEmpty()
              ? None()
              : Table({T("Job_Time", "Time (UTC)"), T("Job_Trim", "Trim"),
                       T("Job_Reference", "Reference"), T("Job_Reading_Before", "Reading before"),
                       T("Job_Reading_After", "Reading after"), T("Job_Deviation", "Deviation"),
                       T("Job_Result", "Result")},
                      rows));
}

QString OtherChecksHtml(const JobRecord& job) {
  QString html;
  if (!job.currents.empty()) {
    QStringList rows;
    for (const auto& c : job.currents) {
      rows << Row({Escaped(c.time), Escaped(c.requested), Number(c.reading, 3),
                   ResultText(c.outcome)});
    }
    html += Heading(T("Job_Currents", "Fixed current")) +
            Table({T("Job_Time", "Time (UTC)"), T("Job_Current_Requested", "Requested (mA)"),
                   T("Job_Current_Reading", "Reading (mA)"), T("Job_Result", "Result")},
                  rows);
  }
  if (!job.selfTests.empty()) {
    QStringList rows;
    for (const auto& s : job.selfTests) {
      const QString state = s.outcome.result != JobResult::Done ? ResultText(s.outcome)
                            : s.passed ? T("Job_Self_Test_Passed", "passed")
                                       : QStringLiteral("<b>%1</b>").arg(
                                             T("Job_Self_Test_Failed", "EEPROM error"));
      rows << Row({Escaped(s.time), state});
    }
    html += Heading(T("Job_Self_Tests", "Self test")) +
            Table({T("Job_Time", "Time (UTC)"), T("Job_Result", "Result")}, rows);
  }
  if (!job.tables.empty()) {
    QStringList rows;
    for (const auto& t : job.tables) {
      rows << Row({Escaped(t.time), Escaped(t.table), QString::number(t.points),
                   Escaped(t.source), Escaped(t.checksum), ResultText(t.outcome)});
    }
    html += Heading(T("Job_Tables", "Tables")) +
            Table({T("Job_Time", "Time (UTC)"), T("Job_Tables", "Tables"),
                   T("Job_Points", "Points"), T("Job_Source", "Source file"),
                   QStringLiteral("CRC-32"), T("Job_Result", "Result")},
                  rows);
  }
  return html;
}

QString FooterHtml(const JobRecord& job, const JobReportOptions& options) {
  const QString program = options.programVersion.isEmpty() ? Escaped(job.program)
                                                            : options.programVersion.toHtmlEscaped();
  const QString date =
      Escaped(job.closed.empty() ? job.opened.substr(0, 10) : job.closed.substr(0, 10));
  QString html = QStringLiteral("<hr><table width=\"100%\" cellpadding=\"3\">");
  html += QStringLiteral("<tr><td width=\"25%\"><b>%1</b></td><td>%2</td>"
                         "<td width=\"15%\"><b>%3</b></td><td>%4</td></tr>")
              .arg(T("Job_Technician", "Technician"), Escaped(job.technician),
                   T("Job_Date", "Date"), date);
  html += QStringLiteral("<tr><td><b>%1</b></td><td colspan=\"3\">%2</td></tr>")
              .arg(T("Job_Program", "Program"), program);
  html += QStringLiteral("<tr><td><b>%1</b></td><td colspan=\"3\">%2</td></tr></table>")
              .arg(T("Job_Notes", "Notes"), Escaped(job.notes).replace(QLatin1Char('\n'),
                                                                        QStringLiteral("<br>")));
  const QString line = QStringLiteral("<br><br>______________________________");
  html += QStringLiteral("<table width=\"100%\" cellpadding=\"6\"><tr><td width=\"50%\">%1%2</td>"
                         "<td>%3%2</td></tr></table>")
              .arg(T("Job_Signature_Technician", "Technician's signature"), line,
                   T("Job_Signature_Approved", "Approved by"));
  return html;
}

}  // namespace

QString JobReportHtml(const JobRecord& job, const JobReportOptions& options) {
  QString html = QStringLiteral("<html><body>");
  const QString title = T("Job_Report_Title", "Job Record");
  html += QStringLiteral("<h2>%1 &mdash; %2</h2>").arg(title, Escaped(job.device.tag));
  html += IdentityHtml(job) + ConfigurationHtml(job) + WritesHtml(job) +
          TrimsHtml(job, options.tolerance) + OtherChecksHtml(job) + FooterHtml(job, options);
  return html + QStringLiteral("</body></html>");
}

QString WriteJobReportPdf(const JobRecord& job, const QString& pdfPath,
                          const JobReportOptions& options) {
  QSaveFile file(pdfPath);
  if (!file.open(QIODevice::WriteOnly)) return file.errorString();
  {
    QPdfWriter writer(&file);
    writer.setPageSize(QPageSize(QPageSize::A4));
    writer.setPageMargins(QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter);
    writer.setResolution(300);
    writer.setTitle(DisplayText("Job_Report_Title", "Job Record") + QStringLiteral(" ") +
                    ToQString(job.device.tag));
    writer.setCreator(QStringLiteral("VA5VIVI"));
    QTextDocument document;
    QFont font = document.defaultFont();
    font.setPointSizeF(8.5);
    document.setDefaultFont(font);
    document.setHtml(JobReportHtml(job, options));
    document.print(&writer);
  }
  if (!file.commit()) return file.errorString();
  return {};
}

QString WriteJobReportPdf(const QString& jsonPath, const QString& pdfPath,
                          const JobReportOptions& options) {
  std::string error;
  const auto job = session::LoadJob(jsonPath.toStdString(), error);
  if (!job) return ToQString(error);
  return WriteJobReportPdf(*job, pdfPath, options);
}

bool IsReportCommand(int argc, char** argv) {
  return argc >= 2 && std::string_view(argv[1]) == "--report";
}

int RunReportCommand(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: va5vivi --report FILE.json OUT.pdf\n");
    return 2;
  }
#ifndef _WIN32
  // Nothing is shown: no display is needed.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
#endif
  QApplication app(argc, argv);
  CAppSettings settings;
  settings.Load();
  TheResourceDatabase().InitEmpty();
  try {
    TheResourceDatabase().Load(settings.LanguageFile().toStdString(), LanguageFolders());
  } catch (const CPrivateException&) {
    // English texts stand in for a language file that cannot be read.
    TheResourceDatabase().InitEmpty();
  }
  JobReportOptions options;
  options.programVersion = QStringLiteral("VA5VIVI ") + QStringLiteral(VA5VIVI_VERSION);
  const QString error = WriteJobReportPdf(QString::fromLocal8Bit(argv[2]),
                                          QString::fromLocal8Bit(argv[3]), options);
  if (!error.isEmpty()) {
    std::fprintf(stderr, "va5vivi: %s\n", error.toLocal8Bit().constData());
    return 1;
  }
  return 0;
}

}  // namespace va5
