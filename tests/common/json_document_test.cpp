#include "common/json_document.h"

#include <gtest/gtest.h>

#include "common/gbk.h"

namespace vidralo {
namespace {

TEST(JsonPointer, PathsBecomePointers) {
  EXPECT_EQ(toJsonPointer("data[0].name"), "/data/0/name");
  EXPECT_EQ(toJsonPointer("a\\.b.c"), "/a.b/c");
  EXPECT_EQ(toJsonPointer("a."), "/a");
  EXPECT_EQ(toJsonPointer("a.b.c"), "/a/b/c");
  EXPECT_EQ(toJsonPointer("x[1][2]"), "/x/1/2");
  EXPECT_EQ(toJsonPointer("a\\/b"), "/a/b");
  EXPECT_EQ(toJsonPointer(""), "/");
}

TEST(JsonDocument, MemberLookupByName) {
  JsonDocument doc;
  ASSERT_TRUE(doc.loadText(R"({"Browser":"Chrome/156.0","n":5})"));
  EXPECT_EQ(doc.getText("Browser"), "Chrome/156.0");
  EXPECT_EQ(doc.getText("n"), "");           // not a string
  EXPECT_EQ(doc.getText("n", "dflt"), "dflt");
  EXPECT_EQ(doc.getText("missing", "x"), "x");
}

TEST(JsonDocument, PathLookupThroughArraysAndDottedNames) {
  JsonDocument doc;
  ASSERT_TRUE(doc.loadText(R"({"data":[{"name":"甲"},{"name":"乙"}],"a.b":{"c":"dot"}})"));
  EXPECT_EQ(doc.getText("data[1].name"), "乙");
  EXPECT_EQ(doc.getText("a\\.b.c"), "dot");
  EXPECT_EQ(doc.getText("data[5].name", "none"), "none");
}

TEST(JsonDocument, SingleBackslashesAreRepaired) {
  JsonDocument doc;
  ASSERT_TRUE(doc.loadText(R"({"path":"C:\temp\x","u":"\u4e2d"})"));
  EXPECT_EQ(doc.getText("path"), "C:\\temp\\x");
  EXPECT_EQ(doc.getText("u"), "中");
  EXPECT_EQ(doc.source(), R"({"path":"C:\\temp\\x","u":"\u4e2d"})");
}

TEST(JsonDocument, RepairKeepsDoubledBackslashesAndEscapes) {
  EXPECT_EQ(repairBackslashes(R"(a\b)"), R"(a\\b)");
  EXPECT_EQ(repairBackslashes(R"(a\\b)"), R"(a\\b)");
  EXPECT_EQ(repairBackslashes(R"(\u0041)"), R"(\u0041)");
  EXPECT_EQ(repairBackslashes(R"(\\\u)"), R"(\\\\\u)");
}

TEST(JsonDocument, GbkTextIsReencodedAndParsed) {
  JsonDocument doc;
  ASSERT_TRUE(doc.loadText(utf8ToGbk(R"({"昵称":"小明"})")));
  EXPECT_EQ(doc.getText("昵称"), "小明");
}

TEST(JsonDocument, RefusesTextsThatCannotBeJson) {
  JsonDocument doc;
  EXPECT_FALSE(doc.loadText("{"));
  EXPECT_FALSE(doc.loadText(std::string(120, 'x') + "{}"));
  EXPECT_FALSE(doc.loadText("[1,2"));
  EXPECT_FALSE(doc.loaded());
  EXPECT_EQ(doc.getText("a", "d"), "d");
}

TEST(JsonDocument, SecondLoadReplacesTheFirst) {
  JsonDocument doc;
  ASSERT_TRUE(doc.loadText(R"({"a":"1"})"));
  EXPECT_FALSE(doc.loadText("no json"));
  EXPECT_EQ(doc.getText("a"), "");
  EXPECT_EQ(doc.source(), "");
  ASSERT_TRUE(doc.loadText(R"(["x"])"));
  EXPECT_EQ(doc.getText("[0]"), "x");
}

}  // namespace
}  // namespace vidralo
