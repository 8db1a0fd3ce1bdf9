// Arbitrary bytes as a language file: loading must either succeed or raise the language-file
// exception, and lookups afterwards must never fail.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "lang/MessageFormat.h"
#include "lang/PrivateException.h"
#include "lang/ResourceDatabase.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view content(reinterpret_cast<const char*>(data), size);
  va5::CResourceDatabase database;
  database.InitEmpty();
  try {
    database.LoadText("Fuzz.lng", content);
  } catch (const va5::CPrivateException& error) {
    char buffer[64];
    error.GetErrorMessage(buffer, sizeof buffer);
    (void)error.ReportText();
  }
  // Whatever the outcome, the database answers; the texts go through the formatter as the
  // message boxes do.
  const std::string keys[] = {"Message_Box", "Err_Range_Input", "it's", "a\"b'c", ""};
  for (const std::string& key : keys) {
    const std::string text = database.GetSectionText("UIMsg", key);
    (void)va5::FormatMessageText(text, {"1", "2.5", "x"});
    (void)database.GetRootText(key);
    (void)database.GetParameterListText(key, key, 3);
  }
  (void)database.GetGuiText(153, 0);
  (void)database.GetGuiText(153, 1199);
  (void)database.GetLanguageName();
  return 0;
}
