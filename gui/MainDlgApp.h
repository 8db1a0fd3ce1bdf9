// The application object: prepares the process and runs the main window until it closes.
#pragma once

#include <QApplication>
#include <memory>

#include "gui/MainDlgDlg.h"

namespace va5 {

class CAppSettings;

// Puts the status strip, the live display and the sensor information panel into `window` and
// connects them to its link: the sensor panel works on the connected device, polls refresh the
// display and the strip, a failure lights the strip's time-out lamp.
void AssembleMainWindow(CMainDlgDlg& window);

class CMainDlgApp : public QApplication {
  Q_OBJECT

 public:
  CMainDlgApp(int& argc, char** argv);
  ~CMainDlgApp() override;

  // Start-up, then the main window; returns the process exit code when it has closed.
  int InitInstance();

  // The start-up path without the event loop: the settings loaded, the language database
  // emptied, the main window made, assembled and shown. Benchmarks time it.
  std::unique_ptr<CMainDlgDlg> CreateMainWindow(MainWindowOptions options = {});
  CAppSettings& Settings() { return *settings_; }

 private:
  std::unique_ptr<CAppSettings> settings_;
};

}  // namespace va5
