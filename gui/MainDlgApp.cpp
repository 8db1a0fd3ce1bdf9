#include "gui/MainDlgApp.h"

#include <QAction>

#include "device/GlobalFile.h"
#include "gui/AppSettings.h"
#include "gui/JobKeeper.h"
#include "gui/JobRecordDialog.h"
#include "gui/Localise.h"
#include "gui/LoopGuard.h"
#include "gui/MainDlgDlg.h"
#include "gui/config/ConfigEditor.h"
#include "gui/display/DisplayArea.h"
#include "gui/display/DisplaySignal.h"
#include "gui/display/DisplayValues.h"
#include "gui/graph/TrendGraph.h"
#include "gui/panels/AnalogOP.h"
#include "gui/panels/CustomRTD.h"
#include "gui/panels/CustomTC.h"
#include "gui/panels/DetailedInfo.h"
#include "gui/panels/Diagnostics.h"
#include "gui/panels/SensorCalib.h"
#include "gui/panels/SensorInfo.h"
#include "gui/panels/SpecialCurve.h"
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
  // A fixed output shows on the strip until it is returned to normal, which is offered
  // before the panel that fixed it closes and before the device is left.
  auto* output = new CLoopOutput(&window);
  AttachLoopOutput(window, *output, *strip);
  auto* analogOutput = new CAnalogOP;
  analogOutput->SetLoopOutput(output);
  window.AddFunctionPanel(fk::kAnalogOutputButton, analogOutput);
  auto* trimDac = new CTrimDAC;
  trimDac->SetLoopOutput(output);
  window.AddFunctionPanel(fk::kTrimDacButton, trimDac);
  window.AddFunctionPanel(fk::kDiagnosticsButton, new CDiagnostics);
  window.AddFunctionPanel(fk::kCustomRtdButton, new CCustomRTD);
  window.AddFunctionPanel(fk::kCustomTcButton, new CCustomTC);
  window.AddFunctionPanel(fk::kSpecialCurveButton, new CSpecialCurve);

  // The configuration file editor takes the whole window from the "File" key.
  auto* fileEditor = new CConfigEditor(window);
  window.AddKeyHandler(fk::kFileButton, [&window, fileEditor] {
    if (window.ReadyToLeave(CMainDlgDlg::Leaving::FileEditor)) fileEditor->Open();
  });

  // The trend graph takes the live display's place from a graph button until it is closed
  // or the device goes.
  auto* trend = new CTrendGraph(&window);
  trend->hide();
  QObject::connect(display, &CDisplayArea::graphRequested, trend,
                   [&window, trend](int signal, const QString& title) {
                     window.ShowGraph(trend);
                     trend->Open(signal, title);
                   });
  // Closing it returns to the sensor information panel from any state: a function panel
  // left open under the graph closes with it.
  QObject::connect(trend, &CPanel::closeRequested, &window, [&window] { window.ShowHome(); });

  QObject::connect(&window, &CMainDlgDlg::deviceConnected, display,
                   [&window, display, trend] {
                     // The units of the upload, before the first poll brings its values.
                     const DeviceRecord record = window.Record();
                     const CglobalFile& tables = window.Tables();
                     const QString pvUnit =
                         NameOfCode(tables.PvUnitNames(), tables.PvUnitCodes(), record.pvUnit);
                     const QString termUnit =
                         NameOfCode(tables.TerminalUnitNames(), tables.TerminalUnitCodes(),
                                    record.terminalUnit);
                     display->SetUnits(pvUnit, termUnit);
                     trend->SetUnits(pvUnit, termUnit);
                     trend->SetTag(ToQString(record.tag).trimmed());
                     display->SetGraphsEnabled(true);
                   });
  // Off line nothing is shown as if it were measured: no number, no unit, grey lamps. A trend
  // run recorded so far stays in the graph, to be looked at and saved until a new run starts.
  QObject::connect(&window, &CMainDlgDlg::linkStatusChanged, display, [&window, strip, display] {
    const bool online = window.Connected();
    strip->ShowLink(window.LinkStatusText(), online);
    if (!online) display->ShowOffline();
  });
  // A unit written through the panel shows on the gauges and the trend at once, before the
  // next poll.
  QObject::connect(sensor, &CSensorInfo::unitsChanged, display, &CDisplayArea::SetUnits);
  // Off line the panel has no units; the trend keeps those its run was recorded in.
  QObject::connect(sensor, &CSensorInfo::unitsChanged, trend,
                   [trend](const QString& pvUnit, const QString& terminalUnit) {
                     if (!pvUnit.isEmpty() || !terminalUnit.isEmpty()) {
                       trend->SetUnits(pvUnit, terminalUnit);
                     }
                   });

  QObject::connect(&window, &CMainDlgDlg::pollCompleted, display, [&window, strip, display,
                                                                   trend] {
    session::Session* session = window.CurrentSession();
    if (session == nullptr) return;
    // Taken once: taking the live values clears the communication-error bits.
    const session::LiveValues live = session->TakeLive();
    if (trend->isVisible()) trend->OnPoll(live);
    const DeviceRecord record = session->Record();
    // A sensor trim's reading after is the first poll that follows it.
    session->Job().NoteReading(record);
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
  // A refused poll measured nothing: the comm lamps say why, nothing else changes.
  QObject::connect(&window, &CMainDlgDlg::pollRefused, strip, [&window, strip] {
    if (session::Session* session = window.CurrentSession()) {
      strip->ShowCommErrors(session->TakeLive().commErrorBits);
    }
  });
  QObject::connect(&window, &CMainDlgDlg::linkFailed, strip, &CDisplaySignal::ShowNoReply);

  // The job record: kept across a reconnect of the same device, offered for saving before a
  // device with unsaved work is left, shown and saved from the context menu.
  auto* jobs = new CJobKeeper(window);
  QObject::connect(window.JobRecordAction(), &QAction::triggered, jobs, [&window, jobs] {
    // Not over a link question or a running chain: the dialog may read the device.
    if (!window.InputEnabled() && window.Connected()) return;
    CJobRecordDialog dialog(*jobs, &window);
    dialog.exec();
  });
  QObject::connect(&window, &CMainDlgDlg::languageReloaded, display, [&window, strip, display] {
    strip->Localise();
    display->Localise();
    strip->ShowLink(window.LinkStatusText(), window.Connected());
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
