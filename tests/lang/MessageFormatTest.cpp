#include "lang/MessageFormat.h"

#include <gtest/gtest.h>

#include "lang/MessageFormatter.h"
#include "lang/PrivateException.h"

namespace va5 {
namespace {

TEST(MessageFormatTest, InsertsArgumentsByNumberAnyNumberOfTimes) {
  EXPECT_EQ(FormatMessageText("%2 and %1, again %2", {"one", "two"}), "two and one, again two");
  EXPECT_EQ(FormatMessageText("Can't read resource file \"%1!s!\".%n%2!s!", {"a.lng", "why"}),
            "Can't read resource file \"a.lng\".\nwhy");
}

TEST(MessageFormatTest, AppliesPrintfConversionsToTextArguments) {
  EXPECT_EQ(FormatMessageText("[%1!d!]", {"42"}), "[42]");
  EXPECT_EQ(FormatMessageText("[%1!5d!]", {"-7"}), "[   -7]");
  EXPECT_EQ(FormatMessageText("[%1!02X!]", {"10"}), "[0A]");
  EXPECT_EQ(FormatMessageText("[%1!4.3f!]", {"2.5"}), "[2.500]");
  EXPECT_EQ(FormatMessageText("[%1!-4s!]", {"ab"}), "[ab  ]");
  EXPECT_EQ(FormatMessageText("[%1!.2s!]", {"abcdef"}), "[ab]");
  EXPECT_EQ(FormatMessageText("[%1!ld!]", {"12"}), "[12]");
}

TEST(MessageFormatTest, EscapesAndTheEndMark) {
  EXPECT_EQ(FormatMessageText("100%% sure%nnext", {}), "100% sure\nnext");
  EXPECT_EQ(FormatMessageText("a%.b%!c", {}), "a.b!c");
  EXPECT_EQ(FormatMessageText("shown%0 hidden %1", {"x"}), "shown");
  EXPECT_EQ(FormatMessageText("trailing %", {}), "trailing ");
}

// Patterns come from language files a user can edit: whatever they ask for, the expansion reads
// only the arguments it was given and expands the pattern once.
TEST(MessageFormatTest, PatternsFromFilesCannotReachBeyondTheirArguments) {
  // An insert beyond the arguments stays literal, with its conversion.
  EXPECT_EQ(FormatMessageText("<%1><%2!d!><%3!s!><%7>", {"only"}), "<only><%2!d!><%3!s!><%7>");
  EXPECT_EQ(FormatMessageText("<%99>", {}), "<%99>");
  std::vector<std::string> many(99, "x");
  many[98] = "last";
  EXPECT_EQ(FormatMessageText("<%99>", many), "<last>");
  // Two digits at most: %100 is %10 followed by 0.
  many[9] = "ten";
  EXPECT_EQ(FormatMessageText("<%100>", many), "<ten0>");
  // A numeric conversion of a text inserts the text; it never reads it as a number or a format.
  EXPECT_EQ(FormatMessageText("[%1!d!][%1!x!][%1!.2f!][%1!c!]", {"abc"}), "[abc][abc][abc][abc]");
  EXPECT_EQ(FormatMessageText("[%1!d!]", {"%s%s%n"}), "[%s%s%n]");
  EXPECT_EQ(FormatMessageText("[%1!.1f!]", {"0x10"}), "[0x10]");
  // Inserted values are never expanded a second time.
  EXPECT_EQ(FormatMessageText("%1 and %2", {"%2%1%n", "two"}), "%2%1%n and two");
  EXPECT_EQ(FormatMessageText("%1!s!", {"%1!s!"}), "%1!s!");
}

TEST(MessageFormatTest, UnterminatedOrHostileConversionsStaySafe) {
  EXPECT_EQ(FormatMessageText("%1!d", {"5"}), "5!d");
  EXPECT_EQ(FormatMessageText("%1!n!", {"5"}), "5");       // %n is never passed to printf
  EXPECT_EQ(FormatMessageText("%1!*d!", {"5"}), "5");      // no width from the argument list
  EXPECT_EQ(FormatMessageText("%1!99999d!", {"5"}), "5");  // absurd widths are refused
  EXPECT_EQ(FormatMessageText("%1!s%s!", {"5"}), "5");
}

TEST(MessageFormatTest, NumericInsertsIgnoreTheProcessLocale) {
  // The user's locale may use a decimal comma; inserts are always C-formatted.
  EXPECT_EQ(FormatMessageText("%1!.2f!", {"1.5"}), "1.50");
}

TEST(MessageFormatterTest, GivesTheSystemTextOfACode) {
  const CMessageFormatter formatter(2);
  EXPECT_FALSE(formatter.Text().empty());
  EXPECT_EQ(formatter.Text().back(), '\n');
  EXPECT_NE(CMessageFormatter(2).Text(), CMessageFormatter(13).Text());
}

TEST(PrivateExceptionTest, CopiesAtMostBufferSizeMinusOneAndTerminates) {
  const CPrivateException error("abcdef");
  char buffer[4] = {'x', 'x', 'x', 'x'};
  ASSERT_TRUE(error.GetErrorMessage(buffer, sizeof buffer));
  EXPECT_STREQ(buffer, "abc");
  char one[1] = {'x'};
  ASSERT_TRUE(error.GetErrorMessage(one, 1));
  EXPECT_EQ(one[0], '\0');
  EXPECT_FALSE(error.GetErrorMessage(one, 0));
  // "é" is two bytes: the copy never ends inside it.
  const CPrivateException accented("a\xC3\xA9");
  char small[3];
  accented.GetErrorMessage(small, sizeof small);
  EXPECT_STREQ(small, "a");
}

TEST(PrivateExceptionTest, ReportShowsAtMost511Characters) {
  const std::string text(600, 'e');
  EXPECT_EQ(CPrivateException(text).ReportText(), std::string(511, 'e'));
  EXPECT_EQ(CPrivateException("short").ReportText(), "short");
  // Characters, not bytes: 600 Japanese characters are cut to 511 whole ones.
  std::string japanese;
  for (int i = 0; i < 600; ++i) japanese += "\xE3\x81\x82";
  EXPECT_EQ(CPrivateException(japanese).ReportText().size(), 511u * 3);
}

}  // namespace
}  // namespace va5
