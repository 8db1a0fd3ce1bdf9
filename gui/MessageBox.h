// Localised message boxes and the report box of exceptions.
#pragma once

#include <QString>
#include <functional>
#include <string>
#include <vector>

class QWidget;

namespace va5 {

class CPrivateException;

// Box styles: buttons and icon.
enum MessageStyle : int {
  kStyleOk = 0,                       // OK, no icon
  kStyleOkExclamation = 48,           // OK, exclamation
  kStyleOkCancelExclamation = 49,     // OK and Cancel, exclamation
  kStyleRetryCancelExclamation = 53,  // Retry and Cancel, exclamation
  kStyleYesNoQuestion = 36,           // Yes and No, question
  kStyleOkInformation = 64,           // OK, information
  kStyleOkError = 16,                 // OK, error (exception reports)
  kStyleYesNoCancelInformation = 67,  // Yes, No and Cancel, information
  kStyleRetryCancelInformation = 69,  // Retry and Cancel, information
};
// Added to a style: the second button is the default (No of Yes/No, for a question whose
// careless Enter must not act).
inline constexpr int kDefaultButton2 = 0x100;

// The button that closed a box.
enum MessageAnswer : int {
  kAnswerOk = 1,
  kAnswerCancel = 2,
  kAnswerRetry = 4,
  kAnswerYes = 6,
  kAnswerNo = 7,
};

// Holds the communication worker around a modal box: called with true before and with
// false after it.
using HoldCallback = std::function<void(bool)>;

struct MessageRequest {
  QWidget* owner = nullptr;
  QString caption;
  QString text;
  int style = kStyleOkExclamation;
  bool topmost = false;
};

// Tests replace the box by a function that sees the request and gives the answer. An empty
// function restores the real box. Returns the previous hook.
using MessageBoxHook = std::function<int(const MessageRequest&)>;
MessageBoxHook SetMessageBoxHook(MessageBoxHook hook);

// Shows any box; the answer is one of MessageAnswer.
int ShowMessageRequest(const MessageRequest& request, const HoldCallback& hold = {});

// The localised box: text = GetUIMsg(key) expanded with `args`, caption =
// GetUIMsg("Message_Box"). A missing text still shows a box and returns its answer.
int ShowUIMessage(QWidget* owner, const std::string& key, const std::vector<std::string>& args = {},
                  int style = kStyleOkExclamation, const HoldCallback& hold = {},
                  bool topmost = false);

// "Err_File_Write": the file at `path` (with the platform's separators) could not be written,
// and why.
int ShowFileWriteError(QWidget* owner, const QString& path, const std::string& why,
                       const HoldCallback& hold = {});

// The report of an exception: at most its first 511 characters, captioned with the
// application's name, with the error icon (kStyleOkError) or none (kStyleOk).
int ReportException(QWidget* owner, const CPrivateException& error, int style = kStyleOkError,
                    const HoldCallback& hold = {});

}  // namespace va5
