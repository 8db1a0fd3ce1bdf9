#include "gui/MainDlgApp.h"

#include <QLabel>
#include <QVBoxLayout>
#include <QWidget>

#include "gui/AppSettings.h"
#include "lang/ControlIds.h"
#include "gui/FontManager.h"
#include "gui/LanguageFolders.h"
#include "gui/Localise.h"
#include "gui/MessageBox.h"
#include "lang/PrivateException.h"
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

  // Until the main window arrives, a plain window stands in for it.
  QWidget window;
  window.setWindowTitle(QStringLiteral("VA5VIVI Ver") + applicationVersion());
  auto* layout = new QVBoxLayout(&window);
  auto* label = new QLabel(QStringLiteral("VA5VIVI"), &window);
  layout->addWidget(label);
  CFontManager::CaptureFontTemplate(window.font());
  try {
    TheResourceDatabase().Load(settings_->LanguageFile().toStdString(), LanguageFolders());
  } catch (const CPrivateException& error) {
    ReportException(&window, error, kStyleOkError);
  }
  LocaliseWindow(ids::main_window::kLayout, &window);
  const QString language = ToQString(TheResourceDatabase().GetLanguageName());
  if (!language.isEmpty()) label->setText(QStringLiteral("VA5VIVI — ") + language);
  window.resize(640, 420);
  window.show();
  return exec();
}

}  // namespace va5
