#include "simulator/url_text.h"

#include <gtest/gtest.h>

#include "simulator/sim_json.h"

namespace vidralo::sim {
namespace {

TEST(UrlText, EncodingRoundTripsUtf8AndReservedCharacters) {
  const std::string nickname = "小王 & 老李=好;友%";
  const std::string encoded = percentEncode(nickname);
  EXPECT_EQ(encoded.find_first_of(" &=;"), std::string::npos);
  EXPECT_EQ(percentDecode(encoded), nickname);
  EXPECT_EQ(percentEncode("a-b_c.d~"), "a-b_c.d~");
}

TEST(UrlText, MalformedEscapesStayAsTheyAre) {
  EXPECT_EQ(percentDecode("100%"), "100%");
  EXPECT_EQ(percentDecode("%4"), "%4");
  EXPECT_EQ(percentDecode("%zz%41"), "%zzA");
}

TEST(SimJson, StringsCannotBreakOutOfAScriptElement) {
  const std::string text = JsonObjectText().add("nickname", "</script><b>\"\\\n").text();
  EXPECT_EQ(text.find('<'), std::string::npos);
  EXPECT_EQ(text, R"({"nickname":"\u003c/script>\u003cb>\"\\\u000a"})");
}

}  // namespace
}  // namespace vidralo::sim
