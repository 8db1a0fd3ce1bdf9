// Support for the shell's widget tests: the application object, the test language files,
// and a stand-in for message boxes that records what would have been shown.
#pragma once

#include <QString>
#include <string>
#include <vector>

#include "gui/MessageBox.h"

class QMessageBox;

namespace va5::test {

// Path of a file in tests/app/data.
std::string DataFile(const std::string& name);

// Loads a test language file into the process-wide database.
void LoadTestLanguage(const std::string& name);

// Replaces message boxes for its lifetime: every request is recorded and answered.
class RecordedMessages {
 public:
  explicit RecordedMessages(int answer = kAnswerOk);
  ~RecordedMessages();
  RecordedMessages(const RecordedMessages&) = delete;
  RecordedMessages& operator=(const RecordedMessages&) = delete;

  const std::vector<MessageRequest>& Seen() const { return seen_; }
  QString LastText() const { return seen_.empty() ? QString() : seen_.back().text; }

 private:
  int answer_;
  std::vector<MessageRequest> seen_;
  MessageBoxHook previous_;
};

// The message box on screen, if any.
QMessageBox* VisibleBox();

// Clicks the button with `text` on the next modal box that appears (real message boxes).
void ClickOnNextBox(const QString& text);

}  // namespace va5::test
