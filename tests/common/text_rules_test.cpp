#include "common/text_rules.h"

#include <gtest/gtest.h>

#include "common/gbk.h"
#include "common/random_draw.h"

namespace vidralo {
namespace {

TEST(TextToInteger, ReadsLeadingNumberLikeOperatorsType) {
  EXPECT_EQ(toInteger("80"), 80);
  EXPECT_EQ(toInteger("  42秒"), 42);
  EXPECT_EQ(toInteger("-7x"), -7);
  EXPECT_EQ(toInteger("+5"), 5);
  EXPECT_EQ(toInteger("abc"), 0);
  EXPECT_EQ(toInteger(""), 0);
  EXPECT_EQ(toInteger("- 5"), 0);
  EXPECT_EQ(toInteger("7.9"), 7);
  EXPECT_EQ(toInteger("007"), 7);
}

TEST(TextToInteger, SaturatesInsteadOfWrapping) {
  EXPECT_EQ(toInteger("99999999999999999999"), 2147483647);
  EXPECT_EQ(toInteger("-99999999999999999999"), -2147483647 - 1);
  EXPECT_EQ(toInteger("2147483648"), 2147483647);
  EXPECT_EQ(toInteger("-2147483648"), -2147483647 - 1);
}

TEST(NumberToText, PlainDecimal) {
  EXPECT_EQ(numberToText(0), "0");
  EXPECT_EQ(numberToText(120), "120");
  EXPECT_EQ(numberToText(-3), "-3");
}

TEST(ReplaceAll, DoesNotRescanReplacedText) {
  EXPECT_EQ(replaceAll("a\r\nb\r\n", "\r\n", "><br><"), "a><br><b><br><");
  EXPECT_EQ(replaceAll("aaa", "a", "aa"), "aaaaaa");
  EXPECT_EQ(replaceAll("abc", "", "x"), "abc");
}

TEST(Gbk, RoundTripsChineseText) {
  const std::string utf8 = "运行日志2021年5月20日";
  const std::string gbk = utf8ToGbk(utf8);
  EXPECT_EQ(gbk, "\xD4\xCB\xD0\xD0\xC8\xD5\xD6\xBE" "2021\xC4\xEA" "5\xD4\xC2" "20\xC8\xD5");
  EXPECT_EQ(gbkToUtf8(gbk), utf8);
}

TEST(Gbk, BadInputNeverFails) {
  // A lone lead byte at the end and an invalid pair both become U+FFFD.
  EXPECT_EQ(gbkToUtf8("a\xFF"), "a\xEF\xBF\xBD");
  EXPECT_EQ(gbkToUtf8("\xD4"), "\xEF\xBF\xBD");
  // Characters GBK lacks become one '?' each; broken UTF-8 too.
  EXPECT_EQ(utf8ToGbk("x\xF0\x9F\x98\x80y"), "x?y");
  EXPECT_EQ(utf8ToGbk("\xE4\xB8"), "?");
}

TEST(Gbk, Utf8Validation) {
  EXPECT_TRUE(isValidUtf8("标题 ok"));
  EXPECT_FALSE(isValidUtf8("\xB1\xEA\xCC\xE2"));  // 标题 in GBK
  EXPECT_FALSE(isValidUtf8("\xC0\x80"));          // overlong NUL
  EXPECT_FALSE(isValidUtf8("\xED\xA0\x80"));      // surrogate
}

TEST(Gbk, FileTextMayBeEitherEncoding) {
  EXPECT_EQ(decodeUtf8OrGbk("\xEF\xBB\xBF标题"), "标题");
  EXPECT_EQ(decodeUtf8OrGbk("\xB1\xEA\xCC\xE2"), "标题");
  EXPECT_EQ(decodeUtf8OrGbk("plain"), "plain");
}

TEST(RandomDraw, StaysWithinBoundsGivenInEitherOrder) {
  for (int i = 0; i < 200; ++i) {
    const int a = randomBetween(120, 80);
    EXPECT_GE(a, 80);
    EXPECT_LE(a, 120);
  }
  EXPECT_EQ(randomBetween(5, 5), 5);
  EXPECT_EQ(randomBetween(0, 0), 0);
}

}  // namespace
}  // namespace vidralo
