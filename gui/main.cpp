#include "gui/MainDlgApp.h"

int main(int argc, char** argv) {
  va5::CMainDlgApp app(argc, argv);
  return app.InitInstance();
}
