#include "gui/MainDlgApp.h"

#include "device/GlobalFile.h"
#include "gui/AppSettings.h"
#include "gui/Localise.h"
#include "gui/MainDlgDlg.h"
#include "gui/display/DisplayArea.h"
#include "gui/display/DisplaySignal.h"
#include "gui/display/DisplayValues.h"
#include "gui/panels/AnalogOP.h"
#include "gui/panels/DetailedInfo.h"
#include "gui/panels/Diagnostics.h"
#include "gui/panels/SensorCalib.h"
#include "gui/panels/SensorInfo.h"
#include "gui/panels/TrimDAC.h"
#include "lang/ControlIds.h"
#include "lang/ResourceDatabase.h"
#include "session/Session.h"

namespace va5 {

namespace {

namespace fk = ids::function_keys;

QString NameOfCode(const StringTable& names, const StringTable& codes, int code) {
  const int index = CglobalFile::IndexOfCode(codes, code);
  return index >= 0 && index < static_cast<int>(names.size())
             ? ToQString(names[static_cast<std::size_t>(index)])
             : QString::number(code);
}

}  // namespace

void AssembleMainWindow(CMainDlgDlg& window) {
  auto* strip = new CDisplaySignal;
  window.SetStatusStrip(strip);
  strip->Localise();
  auto* display = new CDisplayArea;
  window.SetDisplayArea(display);
  display->Localise();
  display->SetHoldCallback([&window](bool on) { window.SetHold(on); });
  auto* sensor = new CSensorInfo(nullptr, window.Tables());
  window.SetSensorPanel(sensor);
  window.AddFunctionPanel(fk::kDeviceInfoButton, new CDetailedInfo(window.Tables()));
  window.AddFunctionPanel(fk::kSensorCalButton, new CSensorCalib(window.Tables()));
  window.AddFunctionPanel(fk::kAnalogOutputButton, new CAnalogOP);
  window.AddFunctionPanel(fk::kTrimDacButton, new CTrimDAC);
  window.AddFunctionPanel(fk::kDiagnosticsButton, new CDiagnostics);

  QObject::connect(&window, &CMainDlgDlg::deviceConnected, display, [&window, display] {
    // The graph buttons stay disabled: there is no trend graph to open yet.
    // The units of the upload, before the first poll brings its values.
    const DeviceRecord record = window.Record();
    const CglobalFile& tables = window.Tables();
    display->SetUnits(
        NameOfCode(tables.PvUnitNames(), tables.PvUnitCodes(), record.pvUnit),
        NameOfCode(tables.TerminalUnitNames(), tables.TerminalUnitCodes(), record.terminalUnit));
  });
  QObject::connect(&window, &CMainDlgDlg::sessionChanged, display,
                   [display](session::Session* session) {
                     if (session == nullptr) display->SetGraphsEnabled(false);
                   });
  // A unit written through the panel shows on the gauges at once, before the next poll.
  QObject::connect(sensor, &CSensorInfo::unitsChanged, display, &CDisplayArea::SetUnits);

  QObject::connect(&window, &CMainDlgDlg::pollCompleted, display, [&window, strip, display] {
    session::Session* session = window.CurrentSession();
    if (session == nullptr) return;
    const session::LiveValues live = session->Live();
    const DeviceRecord record = session->Record();
    const CglobalFile& tables = window.Tables();
    DisplayValues values;
    values.pv = live.pv;
    values.pvUnit = NameOfCode(tables.PvUnitNames(), tables.PvUnitCodes(), live.pvUnit);
    values.pvUpperRange = record.upperRangeValue;
    values.pvLowerRange = record.lowerRangeValue;
    values.percent = live.percent;
    values.terminal = live.terminalTemperature;
    values.terminalUnit =
        NameOfCode(tables.TerminalUnitNames(), tables.TerminalUnitCodes(), live.terminalUnit);
    values.loopCurrent = live.loopCurrent;
    values.deviceStatus = live.deviceStatus;
    values.responseCode = live.responseCode;
    values.commErrors = live.commErrorBits;
    display->Update(values);
    strip->Update(values);
  });
  QObject::connect(&window, &CMainDlgDlg::linkFailed, strip, &CDisplaySignal::ShowNoReply);
  QObject::connect(&window, &CMainDlgDlg::languageReloaded, display, [strip, display] {
    strip->Localise();
    display->Localise();
  });
}

CMainDlgApp::CMainDlgApp(int& argc, char** argv) : QApplication(argc, argv) {
  setOrganizationName(QStringLiteral("Kerrin"));
  setApplicationName(QStringLiteral("VA5VIVI"));
  setApplicationVersion(QStringLiteral(VA5VIVI_VERSION));
  setWindowIcon(QIcon::fromTheme(QStringLiteral("va5vivi")));
}

CMainDlgApp::~CMainDlgApp() = default;

std::unique_ptr<CMainDlgDlg> CMainDlgApp::CreateMainWindow(MainWindowOptions options) {
  settings_ = std::make_unique<CAppSettings>();
  settings_->Load();
  TheResourceDatabase().InitEmpty();
  // The window loads the language, lays itself out and asks before it closes.
  auto window = std::make_unique<CMainDlgDlg>(*settings_, std::move(options));
  AssembleMainWindow(*window);
  window->show();
  return window;
}

int CMainDlgApp::InitInstance() {
  // The process ends with the window.
  const std::unique_ptr<CMainDlgDlg> window = CreateMainWindow();
  return exec();
}

}  // namespace va5
