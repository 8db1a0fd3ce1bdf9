// Benchmark of the main window: how soon it is on screen, and what monitoring costs.
//
// Reports:
//  1. the time from the start of main() to the end of the assembled main window's first paint,
//     on the current platform plug-in (offscreen unless QT_QPA_PLATFORM says otherwise);
//  2. with the window connected to va5vivi-sim --realtime through the connect panel, the CPU
//     this process uses while it monitors for --seconds (default 60), as a share of one core,
//     and the polls completed meanwhile.
//
// The settings store is a temporary folder, never the user's.
//
// usage: gui_bench [--seconds N]
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QEventLoop>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "gui/AppSettings.h"
#include "gui/FunctionKeys.h"
#include "gui/MainDlgApp.h"
#include "gui/MainDlgDlg.h"
#include "gui/MessageBox.h"
#include "gui/panels/ConnectDevice.h"
#include "lang/ControlIds.h"
#include "lang/ResourceDatabase.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double CpuSeconds() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Runs the event loop until `done` holds or `timeoutMs` has passed; true when it holds.
bool WaitFor(const std::function<bool()>& done, int timeoutMs) {
  QElapsedTimer timer;
  timer.start();
  while (!done()) {
    if (timer.elapsed() > timeoutMs) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
  return true;
}

// Notes when a paint event reaches the window and when it has been handled.
class FirstPaint : public QObject {
 public:
  explicit FirstPaint(Clock::time_point start) : start_(start) {}

  bool eventFilter(QObject* watched, QEvent* event) override {
    // The main window's own paint event: its children paint in the same pass.
    if (event->type() == QEvent::Paint && arrivedMs_ < 0 &&
        qobject_cast<va5::CMainDlgDlg*>(watched) != nullptr) {
      arrivedMs_ = MsSince(start_);
      // Runs once the paint event, which follows this filter, has been handled.
      QTimer::singleShot(0, this, [this] { paintedMs_ = MsSince(start_); });
    }
    return QObject::eventFilter(watched, event);
  }

  double ArrivedMs() const { return arrivedMs_; }
  double PaintedMs() const { return paintedMs_; }

 private:
  Clock::time_point start_;
  double arrivedMs_ = -1;
  double paintedMs_ = -1;
};

// The simulated transmitter as a child process: its first line on stdout is the terminal it
// opened, printed once its port name is registered.
struct Simulator {
  pid_t pid = -1;
  int out = -1;
  std::string path;

  bool Start(const std::string& name) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::string program = VA5VIVI_SIM;
    std::vector<std::string> args{program, "--realtime", "--name", name};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    const int spawned = ::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    out = fds[0];
    if (spawned != 0) {
      pid = -1;
      return false;
    }
    // The readiness line, within 10 s.
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    for (;;) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
      if (left <= 0) return false;
      pollfd p{out, POLLIN, 0};
      if (::poll(&p, 1, static_cast<int>(left)) <= 0) continue;
      char c = 0;
      if (::read(out, &c, 1) != 1) return false;
      if (c == '\n') return !path.empty();
      path.push_back(c);
    }
  }

  void Stop() {
    if (pid > 0) {
      ::kill(pid, SIGTERM);
      int status = 0;
      ::waitpid(pid, &status, 0);
      pid = -1;
    }
    if (out >= 0) ::close(out);
    out = -1;
  }
};

}  // namespace

int main(int argc, char** argv) {
  const Clock::time_point start = Clock::now();

  int seconds = 60;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--seconds") == 0 && i + 1 < argc) {
      seconds = std::atoi(argv[++i]);
    } else {
      std::fprintf(stderr, "usage: gui_bench [--seconds N]\n");
      return 2;
    }
  }
  if (seconds <= 0) seconds = 60;

  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // The settings store in a folder of its own.
  QTemporaryDir settingsFolder;
  if (!settingsFolder.isValid()) {
    std::fprintf(stderr, "gui_bench: no temporary folder for the settings\n");
    return 2;
  }
  qputenv("XDG_CONFIG_HOME", settingsFolder.path().toLocal8Bit());
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsFolder.path());
  QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settingsFolder.path());

  // Message boxes are answered at once and counted, so that none waits for a hand.
  std::vector<QString> messages;
  va5::SetMessageBoxHook([&messages](const va5::MessageRequest& request) {
    messages.push_back(request.text);
    return static_cast<int>(va5::kAnswerOk);
  });

  // The application's own start-up path: its object, its settings, the window assembled and
  // shown.
  va5::CMainDlgApp app(argc, argv);
  va5::MainWindowOptions options;
  // The language files of the source tree: the bench does not sit beside the program.
  options.languageFolders = {VA5VIVI_RESOURCES_DIR};
  int result = 0;
  {
    FirstPaint paint(start);
    // The paint filter goes on before the window exists, on the application.
    app.installEventFilter(&paint);
    const std::unique_ptr<va5::CMainDlgDlg> created = app.CreateMainWindow(options);
    va5::CMainDlgDlg& window = *created;
    va5::CAppSettings& settings = app.Settings();
    if (!WaitFor([&] { return paint.PaintedMs() >= 0; }, 30000)) {
      std::fprintf(stderr, "gui_bench: the window was not painted within 30 s\n");
      return 1;
    }
    app.removeEventFilter(&paint);
    std::printf("platform: %s\n", qgetenv("QT_QPA_PLATFORM").constData());
    std::printf("startup_to_paint_event_ms: %.1f\n", paint.ArrivedMs());
    std::printf("startup_to_first_paint_ms: %.1f\n", paint.PaintedMs());
    std::fflush(stdout);

    // The simulator under a port name of its own, stored as the port to connect to.
    const std::string portName = "BENCH" + std::to_string(::getpid());
    settings.SetComPort(QString::fromStdString(portName));
    settings.Save();
    Simulator sim;
    if (!sim.Start(portName)) {
      std::fprintf(stderr, "gui_bench: the simulator did not start\n");
      sim.Stop();
      return 1;
    }
    std::printf("simulator: %s on %s (pid %d)\n", portName.c_str(), sim.path.c_str(),
                static_cast<int>(sim.pid));

    namespace fk = va5::ids::function_keys;
    namespace cp = va5::ids::connect_panel;
    va5::CConnectDevice* panel = window.ConnectPanel();
    auto selected = [&] {
      const int index = panel->PortList()->currentIndex();
      const auto& ports = panel->Ports();
      return index >= 0 && index < static_cast<int>(ports.size()) &&
             ports[static_cast<std::size_t>(index)].portName == portName;
    };
    int polls = 0;
    QObject::connect(&window, &va5::CMainDlgDlg::pollCompleted, [&polls] { ++polls; });

    // As a technician connects: "Connect", then "Connect Device" with the port selected.
    bool monitoring = false;
    const Clock::time_point connectStart = Clock::now();
    if (!WaitFor(selected, 10000)) {
      std::fprintf(stderr, "gui_bench: the port list did not offer %s\n", portName.c_str());
    } else {
      window.FunctionKeys()->Key(fk::kConnectButton)->click();
      panel->Button(cp::kConnectButton)->click();
      monitoring = WaitFor(
          [&] { return polls > 0 && window.Connected() && window.InputEnabled(); }, 120000);
      if (!monitoring) std::fprintf(stderr, "gui_bench: monitoring did not start within 120 s\n");
    }

    if (monitoring) {
      std::printf("connect_to_first_poll_ms: %.0f\n", MsSince(connectStart));
      std::fflush(stdout);
      const int pollsBefore = polls;
      const std::size_t messagesBefore = messages.size();
      const double cpuBefore = CpuSeconds();
      const Clock::time_point windowStart = Clock::now();
      QEventLoop loop;
      QTimer::singleShot(seconds * 1000, Qt::PreciseTimer, &loop, &QEventLoop::quit);
      loop.exec();
      const double wall = MsSince(windowStart) / 1000.0;
      const double cpu = CpuSeconds() - cpuBefore;
      const int done = polls - pollsBefore;
      std::printf("monitoring_seconds: %.1f\n", wall);
      std::printf("monitoring_cpu_seconds: %.3f\n", cpu);
      std::printf("monitoring_cpu_percent_of_one_core: %.2f\n", 100.0 * cpu / wall);
      std::printf("polls_completed: %d\n", done);
      if (done > 0) std::printf("mean_poll_period_ms: %.0f\n", 1000.0 * wall / done);
      std::printf("still_connected: %s\n", window.Connected() ? "yes" : "no");
      if (messages.size() != messagesBefore)
        std::printf("messages_during_monitoring: %zu\n", messages.size() - messagesBefore);
    } else {
      result = 1;
    }
    for (const QString& text : messages)
      std::printf("message: %s\n", text.left(120).toLocal8Bit().constData());

    window.ResetLink();
    sim.Stop();
  }
  va5::TheResourceDatabase().InitEmpty();
  return result;
}
