#include "lang/EntryRules.h"

#include <gtest/gtest.h>

namespace va5 {
namespace {

TEST(EntryNumberTest, ParsesDecimalNumbersOnly) {
  EXPECT_EQ(ParseEntryNumber("30"), 30.0);
  EXPECT_EQ(ParseEntryNumber(" 5"), 5.0);
  EXPECT_EQ(ParseEntryNumber("-1.5e2"), -150.0);
  EXPECT_EQ(ParseEntryNumber("+.5"), 0.5);
  EXPECT_EQ(ParseEntryNumber("5."), 5.0);
  // Nothing entered is no number, not 0: an empty damping must not be sent as 0 s.
  EXPECT_FALSE(ParseEntryNumber(""));
  EXPECT_FALSE(ParseEntryNumber("\t"));
  EXPECT_FALSE(CheckNumberEntry("", 0.5, 30.0, true).accepted);
  EXPECT_FALSE(CheckNumberEntry(" ", -10.0, 10.0, false).accepted);
  // One reader for every number: hexadecimal is refused here as it is for whole numbers.
  EXPECT_FALSE(ParseEntryNumber("0x10"));
  EXPECT_FALSE(ParseEntryNumber("0x1p3"));
  EXPECT_FALSE(ParseEntryNumber("5 "));
  EXPECT_FALSE(ParseEntryNumber("12abc"));
  EXPECT_FALSE(ParseEntryNumber("1e999"));
  EXPECT_FALSE(ParseEntryNumber("-1e999"));
  EXPECT_FALSE(ParseEntryNumber("inf"));
  EXPECT_FALSE(ParseEntryNumber("nan"));
  EXPECT_FALSE(ParseEntryNumber(" "));
  EXPECT_FALSE(ParseEntryNumber("1,5"));
  EXPECT_FALSE(
      ParseEntryNumber(std::string("5\0"
                                   "9",
                                   3)));
}

TEST(EntryNumberTest, ValueTextHasThreeDecimalsAndNoNegativeZero) {
  EXPECT_EQ(EntryValueText(30.0), "30.000");
  EXPECT_EQ(EntryValueText(-0.0), "0.000");
  EXPECT_EQ(EntryValueText(-0.0001), "0.000");
  EXPECT_EQ(EntryValueText(-0.0006), "-0.001");
  EXPECT_EQ(EntryValueText(16777215.0), "16777215.000");
}

TEST(EntryNumberTest, LimitsAreInclusiveAndZeroMayBeAllowed) {
  EXPECT_TRUE(IsWithinEntryLimits(0.5, 0.5, 30.0, false));
  EXPECT_TRUE(IsWithinEntryLimits(30.0, 0.5, 30.0, false));
  EXPECT_FALSE(IsWithinEntryLimits(0.4, 0.5, 30.0, true));
  EXPECT_FALSE(IsWithinEntryLimits(0.0, 0.5, 30.0, false));
  EXPECT_TRUE(IsWithinEntryLimits(0.0, 0.5, 30.0, true));
  EXPECT_TRUE(IsWithinEntryLimits(-0.0, 0.5, 30.0, true));
}

TEST(EntryNumberTest, WholeRuleKeepsSeventeenCharactersOfWhatWasChecked) {
  NumberEntry damping = CheckNumberEntry("0", 0.5, 30.0, true);
  EXPECT_TRUE(damping.accepted);
  EXPECT_EQ(damping.valueText, "0.000");
  EXPECT_FALSE(CheckNumberEntry("0.4", 0.5, 30.0, true).accepted);
  EXPECT_EQ(CheckNumberEntry("-0", -10.0, 10.0, false).valueText, "0.000");

  // Twenty characters in range: the first seventeen are kept.
  const NumberEntry range = CheckNumberEntry("123.4567890123456789", -100.0, 1100.0, false);
  ASSERT_TRUE(range.accepted);
  EXPECT_EQ(range.enteredText, "123.4567890123456");
  EXPECT_EQ(range.valueText, "123.457");

  // The cut must not turn the checked value into another one: 1000 would be sent as 1.
  EXPECT_FALSE(CheckNumberEntry("1.0000000000000000e3", 0.0, 1100.0, false).accepted);
  EXPECT_FALSE(CheckNumberEntry("0.5000000000000000e2", 0.0, 1100.0, false).accepted);
  // Or would not read as a number at all.
  EXPECT_FALSE(CheckNumberEntry("1000.00000000000e-3", 0.0, 1100.0, false).accepted);
  // Tiny excess digits cut away are fine when the rest is the same number.
  EXPECT_TRUE(CheckNumberEntry("1000.0000000000000001", 0.0, 1100.0, false).accepted);
}

TEST(EntryTextTest, CharacterSets) {
  EXPECT_TRUE(IsNumberText(" +-1234567890."));
  EXPECT_TRUE(IsNumberText(""));
  EXPECT_FALSE(IsNumberText("1e5"));
  EXPECT_FALSE(IsNumberText("1,5"));
  EXPECT_TRUE(IsPackedText(""));
  EXPECT_TRUE(IsPackedText("TAG_01 @[\\]^?"));
  EXPECT_FALSE(IsPackedText("tag"));
  EXPECT_FALSE(IsPackedText("A`"));
  EXPECT_FALSE(IsPackedText("\xC3\x89"));  // É
  EXPECT_TRUE(IsTagCharacter(U' '));
  EXPECT_TRUE(IsTagCharacter(U'~'));
  EXPECT_FALSE(IsTagCharacter(U'\x7F'));
  EXPECT_FALSE(IsTagCharacter(U'\t'));
  EXPECT_FALSE(IsTagCharacter(U'\u00E9'));
}

TEST(EntryTextTest, TagRulesCountCharactersNotBytes) {
  SetMaximumTextLength("8");
  EXPECT_EQ(CheckTextEntry("  TT-101  ", true, false).text, "TT-101");
  EXPECT_FALSE(CheckTextEntry("ABCDEFGH", true, false).failure);
  const TextEntry nine = CheckTextEntry("ABCDEFGHI", true, false);
  ASSERT_TRUE(nine.failure);
  EXPECT_EQ(nine.failure->key, "Err_Tag_Number_overflow");
  EXPECT_EQ(nine.failure->args, std::vector<std::string>{"8"});
  EXPECT_FALSE(CheckTextEntry("A\\B", true, false).failure);
  EXPECT_FALSE(CheckTextEntry("lower", true, false).failure);
  // Eight accented letters are eight characters (sixteen bytes): the length passes and the
  // character rule fails.
  const TextEntry accented = CheckTextEntry(
      "\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3"
      "\xA9\xC3\xA9",
      true, false);
  ASSERT_TRUE(accented.failure);
  EXPECT_EQ(accented.failure->key, "Err_Tag_Inalid_char");
  EXPECT_EQ(accented.failure->args, std::vector<std::string>{"\xC3\xA9"});  // named as typed
  // Empty becomes one blank and is accepted.
  const TextEntry empty = CheckTextEntry("   ", true, false);
  EXPECT_FALSE(empty.failure);
  EXPECT_EQ(empty.text, " ");
  // Neither mode: anything goes.
  EXPECT_FALSE(CheckTextEntry("\xC3\xA9 far too long for a tag", false, false).failure);
  SetMaximumTextLength("32");
  EXPECT_EQ(MaximumTextLength(), "32");
  EXPECT_FALSE(CheckTextEntry("ABCDEFGHI", true, false).failure);
  EXPECT_TRUE(ExceedsMaximumTextLength(std::string(33, 'A')));
}

TEST(EntryDateTest, CalendarYearsAndLength) {
  EXPECT_FALSE(IsValidEntryDate("2009/02/29"));
  EXPECT_TRUE(IsValidEntryDate("2008/02/29"));
  EXPECT_FALSE(IsValidEntryDate("1900/02/29"));
  EXPECT_TRUE(IsValidEntryDate("1900/01/01"));
  EXPECT_TRUE(IsValidEntryDate("2155/12/31"));
  EXPECT_FALSE(IsValidEntryDate("2156/01/01"));
  EXPECT_FALSE(IsValidEntryDate("1899/12/31"));
  EXPECT_TRUE(IsValidEntryDate("2009-03-07"));
  EXPECT_FALSE(IsValidEntryDate("2009/3/7"));
  EXPECT_FALSE(IsValidEntryDate("2009/04/31"));
  EXPECT_FALSE(IsValidEntryDate("2009/13/01"));
  EXPECT_FALSE(IsValidEntryDate("2009/00/10"));
  EXPECT_FALSE(IsValidEntryDate("2009/01/00"));
  EXPECT_FALSE(IsValidEntryDate("2100/02/29"));  // a century that is no leap year
  EXPECT_TRUE(IsValidEntryDate("2000/02/29"));
  EXPECT_FALSE(IsValidEntryDate("20x9/01/01"));
  EXPECT_FALSE(IsValidEntryDate("2009/ 1/01"));
  EXPECT_FALSE(IsValidEntryDate("2009/01/\xC3\xA9"));
  // Through the text rule: a failure names the date message.
  const TextEntry date = CheckTextEntry("2009/02/29", false, true);
  ASSERT_TRUE(date.failure);
  EXPECT_EQ(date.failure->key, "Err_Date_Invalid");
  EXPECT_FALSE(CheckTextEntry(" 2008/02/29 ", false, true).failure);
}

}  // namespace
}  // namespace va5
