// The job record printed: an A4 PDF in the loaded language with the device's identity, the
// configuration as found beside as left (changed rows marked), the writes with their results,
// the trims judged against a tolerance, fixed currents, self tests, tables, and a footer for
// the technician's name, notes and signatures.
#pragma once

#include <QString>
#include <QStringList>

#include "session/JobRecord.h"

namespace va5 {

struct JobReportOptions {
  double tolerance = session::DefaultTrimTolerance;  // % of span a trim may deviate
  QString programVersion;                            // shown in the footer
};

// The report as HTML (what the PDF is laid out from).
QString JobReportHtml(const session::JobRecord& job, const JobReportOptions& options = {});

// Writes the report of `job` to `pdfPath` (in one piece: nothing is left at the path when it
// fails). The error text, or an empty string when written.
QString WriteJobReportPdf(const session::JobRecord& job, const QString& pdfPath,
                          const JobReportOptions& options = {});

// The same from a job record file.
QString WriteJobReportPdf(const QString& jsonPath, const QString& pdfPath,
                          const JobReportOptions& options = {});

// True when the program was started as "va5vivi --report FILE.json OUT.pdf".
bool IsReportCommand(int argc, char** argv);
// Runs it without a window: the language of the settings, the PDF written; 0 when written,
// otherwise the reason on standard error and 1 (2 for bad usage).
int RunReportCommand(int argc, char** argv);

}  // namespace va5
