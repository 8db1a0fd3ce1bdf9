#include <QtGlobal>
#include "gui/MainDlgApp.h"
#include "gui/report/JobReportPdf.h"

int main(int argc, char** argv) {
  // "--report FILE.json OUT.pdf" prints a job record without opening a window.
  if (va5::IsReportCommand(argc, argv)) return va5::RunReportCommand(argc, argv);
#ifdef _WIN32
  // Text through DirectWrite rather than GDI: Qt 6.4's GDI font engine leaves the text of line
  // edits undrawn under Wine, where the Windows package is checked, and DirectWrite is the
  // engine later Qt releases take by default. A platform named in the environment still wins.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
    qputenv("QT_QPA_PLATFORM", "windows:fontengine=directwrite");
  }
#endif
  va5::CMainDlgApp app(argc, argv);
  return app.InitInstance();
}
