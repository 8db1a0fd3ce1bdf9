// The application object: prepares the process and runs the main window until it closes.
#pragma once

#include <QApplication>
#include <memory>

namespace va5 {

class CAppSettings;

class CMainDlgApp : public QApplication {
  Q_OBJECT

 public:
  CMainDlgApp(int& argc, char** argv);
  ~CMainDlgApp() override;

  // Start-up, then the main window; returns the process exit code when it has closed.
  int InitInstance();

 private:
  std::unique_ptr<CAppSettings> settings_;
};

}  // namespace va5
