// Support for the tests that drive the main window and its function panels against the
// simulated transmitter on a pseudo-terminal: modal dialogs answered by a script, message
// boxes answered by what they say, and the requests the device received, read from the
// link's trace.
#pragma once

#include <gtest/gtest.h>

#include <QDialog>
#include <QString>
#include <QTemporaryDir>
#include <QTimer>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "comm/Trace.h"
#include "gui/AppSettings.h"
#include "gui/MainDlgDlg.h"
#include "gui/MessageBox.h"
#include "sim/SimulatedTransmitter.h"

class QPushButton;

namespace va5::test {

// One request frame as the link sent it.
struct SentFrame {
  int command = -1;
  int shortAddress = -1;            // -1 for a long frame
  std::vector<std::uint8_t> data;   // the request's data bytes
  std::chrono::steady_clock::time_point at;
};

// The frames sent, read from the link's "TX: " trace lines (worker thread).
class FrameLog {
 public:
  TraceSink Sink();
  std::vector<SentFrame> Frames() const;
  std::vector<int> Commands() const;
  // The commands without the polls (3 then 2) that run between and after requests.
  std::vector<int> Requests() const;
  // The addresses command 0 went to, in order.
  std::vector<int> IdentifyAddresses() const;
  int Count(int command) const;
  // The data of the last frame of `command` (empty when none was sent).
  std::vector<std::uint8_t> LastData(int command) const;
  void Clear();

 private:
  mutable std::mutex mutex_;
  std::vector<SentFrame> frames_;
};

// The IEEE single-precision value at `at` in a frame's data (big-endian, as on the wire).
float FloatAt(const std::vector<std::uint8_t>& data, std::size_t at);

// Message boxes answered by what they say; every box is recorded.
class Questions {
 public:
  Questions();
  ~Questions();
  Questions(const Questions&) = delete;
  Questions& operator=(const Questions&) = delete;
  // Boxes whose text starts with `start` get `answers` in turn (the last one repeats); any
  // other box gets Cancel.
  void Answer(const QString& start, std::deque<int> answers);
  std::vector<MessageRequest> Starting(const QString& start) const;
  const std::vector<MessageRequest>& Seen() const { return seen_; }

 private:
  std::vector<std::pair<QString, std::deque<int>>> answers_;
  std::vector<MessageRequest> seen_;
  MessageBoxHook previous_;
};

// Answers the modal dialogs that open from now on, one action each, in order; notes their
// titles.
class ModalScript {
 public:
  using Action = std::function<void(QDialog&)>;
  explicit ModalScript(std::deque<Action> actions);
  std::vector<QString> titles;
  bool Finished() const { return actions_.empty(); }

 private:
  std::deque<Action> actions_;
  QTimer timer_;
};

// Picks `name` in a selection list and presses OK.
ModalScript::Action Choose(const QString& name);
// Types `text` into a numeric or text entry and presses OK; notes the prompt.
ModalScript::Action Enter(const QString& text, QString* prompt = nullptr);
// Cancels a list or an entry.
ModalScript::Action Cancel();

// A UIMsg text of the loaded language with its inserts.
QString UIText(const std::string& key, const std::vector<std::string>& args = {});

// The main window as the application assembles it, with a port list of one simulated
// transmitter, scaled timing and the link's trace in `log`.
class ConnectedWindowTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // (Re)creates the window in `language` ("English.lng" or "Japanese.lng"), with the language
  // files of `languageFolders` (the program's own when empty).
  void StartWindow(const char* language = "English.lng",
                   std::vector<std::string> languageFolders = {});
  // Connects through the connect panel and waits until monitoring runs.
  void Connect();
  // The port is opened by a name of its own that links to the simulator's terminal, as a
  // registered simulator port is: after the simulator starts again this points the name at
  // its new terminal.
  void RelinkPort();
  // Monitoring runs: a poll has reached the window and the window takes input again.
  bool WaitMonitoring(int timeoutMs = 10000);
  // Waits until the window takes input and no request is pending, then a little longer, so
  // that whatever a click started has been sent.
  bool WaitIdle(int timeoutMs = 20000);
  // Presses a function key and returns the panel it opened.
  CPanel* OpenPanel(int keyId);
  QPushButton* Key(int keyId) const;
  // The button with the control identifier `id` in `panel` (null when none).
  static QPushButton* ButtonOf(QWidget* panel, int id);
  // The text of the control with identifier `id` in `panel` (a label's or a button's).
  static QString TextOf(QWidget* panel, int id);
  // Clicks the button `id` of `panel`, answering the dialogs by `actions`, and waits idle.
  std::vector<QString> Click(QWidget* panel, int id, std::deque<ModalScript::Action> actions = {});

  Timing timing_ = Timing{}.Scaled(0.1);
  // The device is busy for half the (scaled) self-test wait, as a real one is within it.
  sim::SimulatedTransmitter sim_{sim::SimConfig{.selfTestBusy = timing_.selfTestWait / 2}};
  FrameLog log_;
  QTemporaryDir portDir_;
  std::unique_ptr<CAppSettings> settings_;
  std::unique_ptr<CMainDlgDlg> window_;
};

}  // namespace va5::test
