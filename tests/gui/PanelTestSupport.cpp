#include "tests/gui/PanelTestSupport.h"

#include <charconv>

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <bit>
#include <cstring>

#include "gui/FunctionKeys.h"
#include "gui/Localise.h"
#include "gui/MainDlgApp.h"
#include "gui/Panel.h"
#include "gui/SelectListBox.h"
#include "gui/ValidateNumber.h"
#include "gui/ValidateText.h"
#include "gui/panels/ConnectDevice.h"
#include "lang/ControlIds.h"
#include "lang/MessageFormat.h"
#include "lang/ResourceDatabase.h"
#include "session/Session.h"

namespace va5::test {

// ---- the frames sent -------------------------------------------------------------------

TraceSink FrameLog::Sink() {
  return [this](std::string_view line) {
    if (line.substr(0, 4) != "TX: ") return;
    std::vector<int> bytes;
    // "TX: Timeout" and other words are no frame.
    for (std::size_t i = 4; i + 2 <= line.size(); i += 3) {
      int byte = 0;
      const char* first = line.data() + i;
      if (std::from_chars(first, first + 2, byte, 16).ptr != first + 2) return;
      bytes.push_back(byte);
    }
    std::size_t at = 0;
    while (at < bytes.size() && bytes[at] == 0xFF) ++at;
    if (at + 2 >= bytes.size()) return;
    const bool longFrame = (bytes[at] & 0x80) != 0;
    SentFrame frame;
    frame.at = std::chrono::steady_clock::now();
    std::size_t commandAt = at + 2;
    if (longFrame) {
      commandAt = at + 6;
      if (commandAt + 1 >= bytes.size()) return;
    } else {
      frame.shortAddress = bytes[at + 1] & 0x0F;
    }
    frame.command = bytes[commandAt];
    // Command, byte count, data, checksum.
    const std::size_t count = commandAt + 1 < bytes.size() ? static_cast<std::size_t>(bytes[commandAt + 1]) : 0;
    for (std::size_t i = commandAt + 2; i < commandAt + 2 + count && i < bytes.size(); ++i)
      frame.data.push_back(static_cast<std::uint8_t>(bytes[i]));
    std::lock_guard lock(mutex_);
    frames_.push_back(std::move(frame));
  };
}

std::vector<SentFrame> FrameLog::Frames() const {
  std::lock_guard lock(mutex_);
  return frames_;
}

std::vector<int> FrameLog::Commands() const {
  std::vector<int> commands;
  for (const SentFrame& f : Frames()) commands.push_back(f.command);
  return commands;
}

std::vector<int> FrameLog::Requests() const {
  const std::vector<int> all = Commands();
  std::vector<int> requests;
  for (std::size_t i = 0; i < all.size(); ++i) {
    // Command 2 belongs to polls only (a poll's first half may precede the start).
    if (all[i] == 2) continue;
    if (all[i] == 3 && i + 1 < all.size() && all[i + 1] == 2) continue;
    requests.push_back(all[i]);
  }
  // A poll caught between its two commands; no request ends with command 3.
  if (!requests.empty() && requests.back() == 3) requests.pop_back();
  return requests;
}

std::vector<int> FrameLog::IdentifyAddresses() const {
  std::vector<int> addresses;
  for (const SentFrame& f : Frames())
    if (f.command == 0 && f.shortAddress >= 0) addresses.push_back(f.shortAddress);
  return addresses;
}

int FrameLog::Count(int command) const {
  int n = 0;
  for (const SentFrame& f : Frames()) n += f.command == command ? 1 : 0;
  return n;
}

std::vector<std::uint8_t> FrameLog::LastData(int command) const {
  const std::vector<SentFrame> frames = Frames();
  for (auto it = frames.rbegin(); it != frames.rend(); ++it)
    if (it->command == command) return it->data;
  return {};
}

void FrameLog::Clear() {
  std::lock_guard lock(mutex_);
  frames_.clear();
}

float FloatAt(const std::vector<std::uint8_t>& data, std::size_t at) {
  if (at + 4 > data.size()) return std::numeric_limits<float>::quiet_NaN();
  const std::uint32_t bits = (std::uint32_t{data[at]} << 24) | (std::uint32_t{data[at + 1]} << 16) |
                             (std::uint32_t{data[at + 2]} << 8) | data[at + 3];
  return std::bit_cast<float>(bits);
}

// ---- dialogs ---------------------------------------------------------------------------

Questions::Questions() {
  previous_ = SetMessageBoxHook([this](const MessageRequest& request) {
    seen_.push_back(request);
    for (auto& [start, answers] : answers_) {
      if (request.text.startsWith(start) && !answers.empty()) {
        const int answer = answers.front();
        if (answers.size() > 1) answers.pop_front();
        return answer;
      }
    }
    return static_cast<int>(kAnswerCancel);
  });
}

Questions::~Questions() { SetMessageBoxHook(previous_); }

void Questions::Answer(const QString& start, std::deque<int> answers) {
  answers_.emplace_back(start, std::move(answers));
}

std::vector<MessageRequest> Questions::Starting(const QString& start) const {
  std::vector<MessageRequest> found;
  for (const MessageRequest& r : seen_)
    if (r.text.startsWith(start)) found.push_back(r);
  return found;
}

ModalScript::ModalScript(std::deque<Action> actions) : actions_(std::move(actions)) {
  timer_.setInterval(5);
  QObject::connect(&timer_, &QTimer::timeout, [this] {
    auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    if (dialog == nullptr || !dialog->isVisible() || actions_.empty()) return;
    titles.push_back(dialog->windowTitle());
    const Action action = std::move(actions_.front());
    actions_.pop_front();
    action(*dialog);
  });
  timer_.start();
}

ModalScript::Action Choose(const QString& name) {
  return [name](QDialog& dialog) {
    auto* list = qobject_cast<CSelectListBox*>(&dialog);
    ASSERT_NE(list, nullptr) << "not a selection list: " << dialog.windowTitle().toStdString();
    const auto items = list->List()->findItems(name, Qt::MatchExactly);
    ASSERT_GE(items.size(), 1) << name.toStdString();
    list->List()->setCurrentItem(items.back());
    list->OkButton()->click();
  };
}

ModalScript::Action Enter(const QString& text, QString* prompt) {
  return [text, prompt](QDialog& dialog) {
    auto* entry = qobject_cast<CEntryDialog*>(&dialog);
    ASSERT_NE(entry, nullptr) << "not an entry: " << dialog.windowTitle().toStdString();
    if (prompt != nullptr) *prompt = entry->PromptLabel()->text();
    entry->Edit()->setText(text);
    entry->OkButton()->click();
  };
}

ModalScript::Action Cancel() {
  return [](QDialog& dialog) {
    if (auto* list = qobject_cast<CSelectListBox*>(&dialog)) {
      list->CancelButton()->click();
    } else if (auto* entry = qobject_cast<CEntryDialog*>(&dialog)) {
      entry->CancelButton()->click();
    } else {
      dialog.reject();
    }
  };
}

QString UIText(const std::string& key, const std::vector<std::string>& args) {
  return ToQString(FormatMessageText(GetUIMsg(key), args));
}

// ---- the connected main window ---------------------------------------------------------

void ConnectedWindowTest::SetUp() {
  ASSERT_TRUE(sim_.Start());
  StartWindow();
}

void ConnectedWindowTest::TearDown() {
  window_.reset();
  TheResourceDatabase().InitEmpty();
}

void ConnectedWindowTest::StartWindow(const char* language,
                                      std::vector<std::string> languageFolders) {
  window_.reset();
  settings_ = std::make_unique<CAppSettings>(QLocale(QLocale::English));
  settings_->SetLanguageFile(QString::fromUtf8(language));
  // The program's files are named after their language.
  settings_->SetLanguageName(QString::fromUtf8(language).section(QLatin1Char('.'), 0, 0));
  settings_->SetComPort(QStringLiteral("SIM9"));
  settings_->SetPollingAddr(QStringLiteral("0"));
  settings_->Save();
  MainWindowOptions options;
  options.timing = timing_;
  RelinkPort();
  const std::string openName = portDir_.filePath(QStringLiteral("SIM9")).toStdString();
  options.portSource = [openName] {
    return std::vector<PortRecord>{{openName, "SIM9", "Simulated transmitter (SIM9)"}};
  };
  options.platformFolders = false;
  options.languageFolders = languageFolders.empty()
                                ? std::vector<std::string>{VA5VIVI_RESOURCES_DIR}
                                : std::move(languageFolders);
  options.trace = log_.Sink();
  window_ = std::make_unique<CMainDlgDlg>(*settings_, options);
  AssembleMainWindow(*window_);  // as the application has it
  window_->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
  ASSERT_TRUE(
      QTest::qWaitFor([&] { return window_->ConnectPanel()->PortList()->count() == 1; }, 5000));
}

void ConnectedWindowTest::RelinkPort() {
  const QString link = portDir_.filePath(QStringLiteral("SIM9"));
  QFile::remove(link);
  ASSERT_TRUE(QFile::link(QString::fromStdString(sim_.SlavePath()), link));
}

void ConnectedWindowTest::Connect() {
  Key(ids::function_keys::kConnectButton)->click();
  window_->ConnectPanel()->Button(ids::connect_panel::kConnectButton)->click();
  ASSERT_TRUE(WaitMonitoring());
  ASSERT_TRUE(window_->Connected());
}

bool ConnectedWindowTest::WaitMonitoring(int timeoutMs) {
  QSignalSpy polls(window_.get(), &CMainDlgDlg::pollCompleted);
  return QTest::qWaitFor([&] { return polls.count() > 0 && window_->InputEnabled(); }, timeoutMs);
}

bool ConnectedWindowTest::WaitIdle(int timeoutMs) {
  const bool idle = QTest::qWaitFor(
      [&] {
        session::Session* session = window_->CurrentSession();
        return window_->InputEnabled() &&
               (session == nullptr || !session->RequestPending());
      },
      timeoutMs);
  // Anything sent after the end would belong to what was clicked too.
  QTest::qWait(static_cast<int>(3 * timing_.idleWait.count()) + 20);
  return idle;
}

CPanel* ConnectedWindowTest::OpenPanel(int keyId) {
  QPushButton* key = Key(keyId);
  EXPECT_TRUE(key != nullptr && key->isEnabled()) << "function key " << keyId;
  if (key != nullptr) key->click();
  return window_->CurrentPanel();
}

QPushButton* ConnectedWindowTest::Key(int keyId) const {
  return window_->FunctionKeys()->Key(keyId);
}

QPushButton* ConnectedWindowTest::ButtonOf(QWidget* panel, int id) {
  for (QPushButton* button : panel->findChildren<QPushButton*>())
    if (ControlId(button) == id) return button;
  return nullptr;
}

QString ConnectedWindowTest::TextOf(QWidget* panel, int id) {
  for (QWidget* widget : panel->findChildren<QWidget*>()) {
    if (ControlId(widget) != id) continue;
    if (auto* label = qobject_cast<QLabel*>(widget)) return ShownValue(label);
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) return button->text();
  }
  return {};
}

std::vector<QString> ConnectedWindowTest::Click(QWidget* panel, int id,
                                                std::deque<ModalScript::Action> actions) {
  ModalScript script(std::move(actions));
  QPushButton* button = ButtonOf(panel, id);
  EXPECT_TRUE(button != nullptr && button->isEnabled()) << "button " << id;
  if (button != nullptr) button->click();
  EXPECT_TRUE(WaitIdle());
  return script.titles;
}

}  // namespace va5::test
