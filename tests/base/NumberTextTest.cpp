#include "base/NumberText.h"

#include <gtest/gtest.h>

#include <cmath>
#include <iostream>
#include <limits>

#ifndef _WIN32
#include "testing/CommaLocale.h"
#endif

namespace va5 {
namespace {

// Typed numbers: one reader for every entry, so a setting cannot take what another refuses.
TEST(NumberText, ParseDecimalTakesPlainDecimalNumbersOnly) {
  EXPECT_EQ(ParseDecimal("3.5"), 3.5);
  EXPECT_EQ(ParseDecimal("  -0.5\t"), -0.5);
  EXPECT_EQ(ParseDecimal("+2"), 2.0);
  EXPECT_EQ(ParseDecimal(".25"), 0.25);
  EXPECT_EQ(ParseDecimal("1."), 1.0);
  EXPECT_EQ(ParseDecimal("2e3"), 2000.0);
  EXPECT_EQ(ParseDecimal("-1.5E-1"), -0.15);
  for (const char* bad : {"", "   ", ".", "-", "+-1", "0x10", "1e", "1e+", "inf", "nan",
                          "3,5", "1 000", "1.2.3", "5s", "1e400", "--1"}) {
    EXPECT_FALSE(ParseDecimal(bad).has_value()) << '"' << bad << '"';
  }
  EXPECT_EQ(ParseWholeNumber(" 16777215 ", 16777215), 16777215u);
  EXPECT_EQ(ParseWholeNumber("007", 15), 7u);
  for (const char* bad : {"", " ", "16777216", "0x10", "-1", "+1", "1.0", "1e3",
                          "99999999999999999999999"}) {
    EXPECT_FALSE(ParseWholeNumber(bad, 16777215).has_value()) << '"' << bad << '"';
  }
}

TEST(NumberText, FixedTextAndRoundingStayFinite) {
  EXPECT_EQ(FormatFixed(3.14159, 3, 8), "   3.142");
  EXPECT_EQ(FormatFixed(-0.5, 0), "-0");
  EXPECT_EQ(FormatFixed(std::numeric_limits<double>::quiet_NaN(), 3), "nan");
  EXPECT_EQ(FormatFixed(-INFINITY, 2, 6), "  -inf");
  EXPECT_EQ(FormatFixed(1e300, 1).size(), 303u);  // every digit, no overflow of a buffer
  EXPECT_EQ(RoundToDecimals(850.4996, 3), 850.5);
  EXPECT_EQ(RoundToDecimals(10.2549, 2), 10.25);
  EXPECT_EQ(RoundToSignificant(33.33333333, 6), 33.3333);
  EXPECT_TRUE(std::isnan(RoundToDecimals(NAN, 3)));
}

#ifndef _WIN32
// The window runs with the user's locale; texts for the device and the files never change
// with it.
TEST(NumberText, TextsIgnoreADecimalCommaLocale) {
  test::CommaLocale comma;
  if (!comma.CLocaleHasComma()) {
    std::cerr << "note: no C locale with a decimal comma; only the C++ locale has one\n";
  }
  EXPECT_EQ(ParseDecimal("3.5"), 3.5);
  EXPECT_FALSE(ParseDecimal("3,5").has_value());
  EXPECT_EQ(FormatFixed(3.5, 2), "3.50");
  EXPECT_EQ(FormatCNumber("%.2f", 1.5), "1.50");
  EXPECT_EQ(ReadCDouble("2.75").value, 2.75);
  EXPECT_EQ(RoundToDecimals(2.3456, 2), 2.35);
  EXPECT_EQ(RoundToSignificant(1234.5678, 6), 1234.57);
}
#endif

}  // namespace
}  // namespace va5
