#include "comm/Codecs.h"

#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

namespace va5 {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Pack(const std::string& text, std::size_t characters) {
  Bytes out(characters / 4 * 3, 0xEE);
  PackAscii(out.data(), text, characters);
  return out;
}

TEST(Codecs, BigEndianIntegers) {
  std::uint8_t b[4] = {};
  PutU16(b, 0x1234);
  EXPECT_EQ(b[0], 0x12);
  EXPECT_EQ(b[1], 0x34);
  EXPECT_EQ(GetU16(b), 0x1234);
  PutU16(b, 0xFF38);
  EXPECT_EQ(GetU16(b), 0xFF38);
  EXPECT_EQ(GetS16(b), -200);

  PutU24(b, 0xAB123456);  // only the low 24 bits travel
  EXPECT_EQ(b[0], 0x12);
  EXPECT_EQ(b[1], 0x34);
  EXPECT_EQ(b[2], 0x56);
  EXPECT_EQ(GetU24(b), 0x123456u);
  const std::uint8_t max[3] = {0xFF, 0xFF, 0xFF};
  EXPECT_EQ(GetU24(max), 16777215u);
}

TEST(Codecs, FloatsAreBitExactIeeeSinglePrecision) {
  struct Row {
    float value;
    std::array<std::uint8_t, 4> bytes;
  };
  const Row rows[] = {
      {1.0f, {0x3F, 0x80, 0x00, 0x00}},   {4.0f, {0x40, 0x80, 0x00, 0x00}},
      {-40.0f, {0xC2, 0x20, 0x00, 0x00}}, {20.0f, {0x41, 0xA0, 0x00, 0x00}},
      {0.5f, {0x3F, 0x00, 0x00, 0x00}},   {1100.0f, {0x44, 0x89, 0x80, 0x00}},
  };
  for (const Row& row : rows) {
    std::uint8_t b[4];
    PutFloat(b, row.value);
    EXPECT_EQ(std::to_array(b), row.bytes) << row.value;
    EXPECT_EQ(GetFloat(row.bytes.data()), row.value);
  }
  // The device's "not a number" pattern survives a round trip unchanged.
  const std::uint8_t nan[4] = {0x7F, 0xA0, 0x00, 0x00};
  const float v = GetFloat(nan);
  EXPECT_TRUE(std::isnan(v));
  std::uint8_t back[4];
  PutFloat(back, v);
  EXPECT_EQ(std::to_array(back), std::to_array(nan));
}

TEST(Codecs, ToWireFloatSaturatesInsteadOfOverflowing) {
  EXPECT_EQ(ToWireFloat(1.5), 1.5f);
  EXPECT_EQ(ToWireFloat(1e39), std::numeric_limits<float>::infinity());
  EXPECT_EQ(ToWireFloat(-1e300), -std::numeric_limits<float>::infinity());
  EXPECT_EQ(ToWireFloat(static_cast<double>(std::numeric_limits<float>::max())),
            std::numeric_limits<float>::max());
  EXPECT_TRUE(std::isnan(ToWireFloat(std::nan(""))));
  EXPECT_EQ(ToWireFloat(-std::numeric_limits<double>::infinity()),
            -std::numeric_limits<float>::infinity());
}

TEST(Codecs, PackedAsciiVectors) {
  EXPECT_EQ(Pack("TT-101", 8), (Bytes{0x51, 0x4B, 0x71, 0xC3, 0x18, 0x20}));
  EXPECT_EQ(Pack("REACTOR INLET", 16),
            (Bytes{0x48, 0x50, 0x43, 0x50, 0xF4, 0xA0, 0x24, 0xE3, 0x05, 0x52, 0x08, 0x20}));
  EXPECT_EQ(Pack("12345678", 8), (Bytes{0xC7, 0x2C, 0xF4, 0xD7, 0x6D, 0xF8}));
  EXPECT_EQ(Pack("ABCD", 4), (Bytes{0x04, 0x20, 0xC4}));
  // An empty text is all blanks; a longer text is cut at the field length.
  EXPECT_EQ(Pack("", 4), (Bytes{0x82, 0x08, 0x20}));
  EXPECT_EQ(Pack("ABCDEFGH", 4), (Bytes{0x04, 0x20, 0xC4}));
}

TEST(Codecs, PackedAsciiUnpacking) {
  const std::uint8_t abcd[3] = {0x04, 0x20, 0xC4};
  EXPECT_EQ(UnpackAscii(abcd, 3), "ABCD");
  // Codes 0x20 (blank), 0x3F ('?'), 0x00 ('@') and 0x30 ('0').
  const std::uint8_t codes[3] = {0x83, 0xF0, 0x30};
  EXPECT_EQ(UnpackAscii(codes, 3), " ?@0");
  const Bytes tag = Pack("TT-101", 8);
  EXPECT_EQ(UnpackAscii(tag.data(), tag.size()), "TT-101  ");
  const Bytes message = Pack("THE QUICK BROWN FOX 0123456789?!", 32);
  EXPECT_EQ(UnpackAscii(message.data(), message.size()), "THE QUICK BROWN FOX 0123456789?!");
  // A trailing partial group is not read.
  EXPECT_EQ(UnpackAscii(abcd, 2), "");
}

TEST(Codecs, DatesByPosition) {
  EXPECT_EQ(DecodeDate(7, 3, 108), "2008/03/07");
  EXPECT_EQ(DecodeDate(7, 3, 109), "2009/03/07");
  EXPECT_EQ(DecodeDate(31, 12, 255), "2155/12/31");

  std::uint8_t b[3];
  EncodeDate(b, "2008/03/07");
  EXPECT_EQ(std::to_array(b), (std::array<std::uint8_t, 3>{0x07, 0x03, 0x6C}));
  EncodeDate(b, "2156/01/02");  // 256 years after 1900 wraps to 0
  EXPECT_EQ(std::to_array(b), (std::array<std::uint8_t, 3>{2, 1, 0}));
  EncodeDate(b, "1899/11/30");  // -1 modulo 256
  EXPECT_EQ(std::to_array(b), (std::array<std::uint8_t, 3>{30, 11, 255}));
}

TEST(Codecs, ShortDateTextsReadNoFurtherThanTheirEnd) {
  std::uint8_t b[3] = {0xEE, 0xEE, 0xEE};
  EncodeDate(b, "");
  EXPECT_EQ(std::to_array(b),
            (std::array<std::uint8_t, 3>{0, 0, static_cast<std::uint8_t>(-1900)}));
  EncodeDate(b, "2008/0");  // month "0", day "/0"
  EXPECT_EQ(std::to_array(b), (std::array<std::uint8_t, 3>{0, 0, 108}));
  EncodeDate(b, "2");
  EXPECT_EQ(std::to_array(b),
            (std::array<std::uint8_t, 3>{2, 0, static_cast<std::uint8_t>(2 - 1900)}));
}

TEST(Codecs, TextToDoubleReadsTheLeadingNumber) {
  EXPECT_DOUBLE_EQ(TextToDouble("12.5"), 12.5);
  EXPECT_DOUBLE_EQ(TextToDouble("  -3.25degC"), -3.25);
  EXPECT_DOUBLE_EQ(TextToDouble("+4"), 4.0);
  EXPECT_DOUBLE_EQ(TextToDouble("1e3"), 1000.0);
  EXPECT_DOUBLE_EQ(TextToDouble("0x10"), 16.0);
  EXPECT_DOUBLE_EQ(TextToDouble(".5"), 0.5);
  EXPECT_EQ(TextToDouble(""), 0.0);
  EXPECT_EQ(TextToDouble("abc"), 0.0);
  EXPECT_EQ(TextToDouble("+-1"), 0.0);
  EXPECT_EQ(TextToDouble("1e999"), std::numeric_limits<double>::infinity());
  EXPECT_EQ(TextToDouble("-1e999"), -std::numeric_limits<double>::infinity());
  EXPECT_EQ(TextToDouble("1e-999"), 0.0);
  EXPECT_TRUE(std::isinf(TextToDouble("inf")));
}

TEST(Codecs, TextToLongReadsTheLeadingInteger) {
  EXPECT_EQ(TextToLong("42"), 42);
  EXPECT_EQ(TextToLong(" -273 degC"), -273);
  EXPECT_EQ(TextToLong("+7"), 7);
  EXPECT_EQ(TextToLong("2.9"), 2);
  EXPECT_EQ(TextToLong("x1"), 0);
  EXPECT_EQ(TextToLong("-"), 0);
  EXPECT_EQ(TextToLong("99999999999999999999999"), LONG_MAX);
  EXPECT_EQ(TextToLong("-99999999999999999999999"), LONG_MIN);
}

}  // namespace
}  // namespace va5
