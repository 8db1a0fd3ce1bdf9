#include "gui/MainDlgApp.h"
#include "gui/report/JobReportPdf.h"

int main(int argc, char** argv) {
  // "--report FILE.json OUT.pdf" prints a job record without opening a window.
  if (va5::IsReportCommand(argc, argv)) return va5::RunReportCommand(argc, argv);
  va5::CMainDlgApp app(argc, argv);
  return app.InitInstance();
}
