// The exception of the language-file layer: it carries one finished message text.
#pragma once

#include <cstddef>
#include <exception>
#include <string>

namespace va5 {

class CMessageFormatter;

class CPrivateException : public std::exception {
 public:
  explicit CPrivateException(std::string text);
  explicit CPrivateException(const CMessageFormatter& formatter);

  const char* what() const noexcept override { return text_.c_str(); }
  const std::string& Text() const { return text_; }

  // Copies at most size - 1 bytes of the text into `buffer` and always terminates it; a
  // character is never cut in half. Returns false when size is 0.
  bool GetErrorMessage(char* buffer, std::size_t size) const;

  // The text as the report box shows it: at most its first kReportLength characters.
  static constexpr std::size_t kReportLength = 511;
  std::string ReportText() const;

 private:
  std::string text_;
};

// The first `count` characters (code points) of a UTF-8 text; a stray byte counts as one.
std::string FirstCharacters(const std::string& text, std::size_t count);

}  // namespace va5
