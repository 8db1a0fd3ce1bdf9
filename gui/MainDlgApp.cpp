#include "gui/MainDlgApp.h"

#include "gui/AppSettings.h"
#include "gui/MainDlgDlg.h"
#include "lang/ResourceDatabase.h"

namespace va5 {

CMainDlgApp::CMainDlgApp(int& argc, char** argv) : QApplication(argc, argv) {
  setOrganizationName(QStringLiteral("Kerrin"));
  setApplicationName(QStringLiteral("VA5VIVI"));
  setApplicationVersion(QStringLiteral(VA5VIVI_VERSION));
  setWindowIcon(QIcon::fromTheme(QStringLiteral("va5vivi")));
}

CMainDlgApp::~CMainDlgApp() = default;

int CMainDlgApp::InitInstance() {
  settings_ = std::make_unique<CAppSettings>();
  settings_->Load();
  TheResourceDatabase().InitEmpty();
  // The window loads the language, lays itself out and asks before it closes; the process
  // ends with it.
  CMainDlgDlg window(*settings_);
  window.show();
  return exec();
}

}  // namespace va5
