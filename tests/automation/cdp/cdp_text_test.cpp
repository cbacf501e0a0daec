// The pure helpers under the engine: JSON quoting, the browser's command
// line, its port file and executable discovery.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>

#include "automation/cdp/browser_launch.h"
#include "automation/cdp/cdp_json.h"
#include "automation/cdp/page_scripts.h"
#include "automation/cdp/script_literals.h"
#include "support/temp_dir.h"

namespace vidralo::cdp {
namespace {

bool has(const std::vector<std::string>& list, const std::string& item) {
  return std::find(list.begin(), list.end(), item) != list.end();
}

TEST(JsonText, StringsSurviveTheTripIntoJsonUnchanged) {
  const std::string tricky = "a\"b\\c\n</script>'${x}'\u2028视频拖拽";
  const std::string literal = jsonString(tricky);
  rapidjson::Document parsed;
  parsed.Parse(literal.c_str());
  ASSERT_TRUE(parsed.IsString());
  EXPECT_EQ(std::string(parsed.GetString(), parsed.GetStringLength()), tricky);
}

TEST(JsonText, MalformedUtf8IsReplacedInsteadOfBreakingTheMessage) {
  // GBK bytes, not UTF-8: right at the start of a text, and after a long
  // ASCII run with sound UTF-8 behind them.
  const std::pair<std::string, std::string> cases[] = {
      {"ok\xC4\xE3", "ok\uFFFD\uFFFD"},
      {"C:/videos/first\xC4\xE3.mp4 视频", "C:/videos/first\uFFFD\uFFFD.mp4 视频"}};
  for (const auto& [text, expected] : cases) {
    rapidjson::Document parsed;
    parsed.Parse(jsonString(text).c_str());
    ASSERT_TRUE(parsed.IsString()) << text;
    EXPECT_EQ(std::string(parsed.GetString(), parsed.GetStringLength()), expected);
  }
}

TEST(JsonText, ObjectsNestRawMembers) {
  const std::string text =
      JsonObject().text("url", "http://x/?a=\"1\"").boolean("flatten", true).integer("n", -3).raw("p", "{\"k\":[1]}").str();
  rapidjson::Document parsed;
  parsed.Parse(text.c_str());
  ASSERT_TRUE(parsed.IsObject());
  EXPECT_EQ(stringMember(parsed, "url"), "http://x/?a=\"1\"");
  EXPECT_TRUE(parsed["flatten"].GetBool());
  EXPECT_EQ(integerMember(parsed, "n"), -3);
  EXPECT_EQ(parsed["p"]["k"][0].GetInt(), 1);
  EXPECT_EQ(stringMember(parsed, "missing"), "");
  EXPECT_EQ(integerMember(parsed, "url", 7), 7);
}

// Kept literals stay the escape of their own script, for every argument
// and past the bound on how many are kept.
TEST(ScriptLiterals, AKeptLiteralIsTheFreshEscapeOfItsOwnScript) {
  for (int round = 0; round < 2; ++round) {
    for (int i = 0; i < 300; ++i) {
      const std::string selector = "[data-n=\"" + std::to_string(i) + "\"]";
      ASSERT_EQ(scriptLiteral(scripts::elementText, selector)->literal, jsonString(scripts::elementText(selector))) << i;
    }
  }
  EXPECT_EQ(scriptLiteral(scripts::elementExists, "p")->literal, jsonString(scripts::elementExists("p")));
  EXPECT_EQ(scriptLiteral(scripts::elementExists, "p")->asFunction, jsonString("() => " + scripts::elementExists("p")));
  EXPECT_EQ(scriptLiteral("1 + 1")->literal, "\"1 + 1\"");
  EXPECT_EQ(scriptLiteral("1 + 1")->asFunction, "");
}

TEST(BrowserCommandLine, WindowNumbersAreRoundedToWholePixels) {
  EXPECT_EQ(roundedPair("682.5,1038"), "683,1038");
  EXPECT_EQ(roundedPair("960,1038"), "960,1038");
  EXPECT_EQ(roundedPair("1,1"), "1,1");
  EXPECT_EQ(roundedPair("-2.4, 7"), "-2,7");
  EXPECT_EQ(roundedPair(""), "");
  EXPECT_EQ(roundedPair("960"), "");
  EXPECT_EQ(roundedPair("a,b"), "");
}

TEST(BrowserCommandLine, CarriesProfileWindowAndModeFlags) {
  LaunchSettings settings;
  settings.profileDirectory = "/p/vesko105";
  settings.windowSize = "682.5,1038";
  settings.windowPosition = "1,1";
  settings.extraFlags = {"--lang=zh-CN", ""};
  settings.startUrl = "about:blank";

  std::vector<std::string> args = browserArguments(settings);
  EXPECT_TRUE(has(args, "--user-data-dir=/p/vesko105"));
  EXPECT_TRUE(has(args, "--remote-debugging-port=0"));
  EXPECT_TRUE(has(args, "--window-size=683,1038"));
  EXPECT_TRUE(has(args, "--window-position=1,1"));
  EXPECT_TRUE(has(args, "--lang=zh-CN"));
  EXPECT_FALSE(has(args, ""));
  EXPECT_FALSE(has(args, "--no-sandbox"));
  EXPECT_FALSE(has(args, "--headless=new"));
  EXPECT_EQ(args.back(), "about:blank");  // the page comes last, after every flag

  settings.headless = true;
  settings.runningAsRoot = true;
  settings.windowSize = "nonsense";
  args = browserArguments(settings);
  EXPECT_TRUE(has(args, "--no-sandbox"));
  EXPECT_TRUE(has(args, "--headless=new"));
  EXPECT_TRUE(std::none_of(args.begin(), args.end(), [](const std::string& a) { return a.starts_with("--window-size"); }));
}

// The browser always gets a UTF-8 character type; what the locale said for
// the other categories stays.
TEST(BrowserEnvironment, TheCharacterTypeIsUtf8AndTheRestStays) {
  using Environment = std::vector<std::string>;
  const struct {
    Environment given;
    Environment expected;
  } cases[] = {
      {{"PATH=/bin"}, {"PATH=/bin", "LC_CTYPE=C.UTF-8"}},
      {{"LANG=C"}, {"LANG=C", "LC_CTYPE=C.UTF-8"}},
      {{"LANG=zh_CN.UTF-8"}, {"LANG=zh_CN.UTF-8"}},
      {{"LANG=C", "LC_CTYPE=en_US.utf8"}, {"LANG=C", "LC_CTYPE=en_US.utf8"}},
      {{"LANG=zh_CN.GBK", "LC_CTYPE=zh_CN.GBK"}, {"LANG=zh_CN.GBK", "LC_CTYPE=C.UTF-8"}},
      {{"LC_ALL=POSIX", "LANG=zh_CN.UTF-8"}, {"LANG=POSIX", "LC_CTYPE=C.UTF-8"}},
      {{"LC_ALL=zh_CN.UTF-8", "LANG=C"}, {"LC_ALL=zh_CN.UTF-8", "LANG=C"}},
  };
  for (const auto& [given, expected] : cases) EXPECT_EQ(browserEnvironment(given), expected) << given.front();
}

TEST(BrowserPortFile, OnlyACompleteFileIsAnAnswer) {
  vidralo::test::TempDir dir;
  EXPECT_FALSE(readActivePort(dir.path()));
  dir.write("DevToolsActivePort", "9222");
  EXPECT_FALSE(readActivePort(dir.path()));  // still being written
  dir.write("DevToolsActivePort", "0\n/devtools/browser/x");
  EXPECT_FALSE(readActivePort(dir.path()));
  dir.write("DevToolsActivePort", "41234\n/devtools/browser/3c4e-aa");
  const auto endpoint = readActivePort(dir.path());
  ASSERT_TRUE(endpoint);
  EXPECT_EQ(endpoint->port, 41234);
  EXPECT_EQ(endpoint->webSocketUrl(), "ws://127.0.0.1:41234/devtools/browser/3c4e-aa");
}

TEST(BrowserDiscovery, AGivenExecutableWinsElseThePathIsSearchedInOrder) {
  vidralo::test::TempDir dir;
  const std::string own = dir.write("bin/mybrowser", "#!/bin/sh\n");
  const std::string edge = dir.write("path/microsoft-edge", "#!/bin/sh\n");
  const std::string chrome = dir.write("path/google-chrome", "#!/bin/sh\n");
  const std::string plain = dir.write("path/chromium", "not executable");
  for (const std::string& file : {own, edge, chrome}) ::chmod(file.c_str(), 0755);

  const char* previous = std::getenv("PATH");
  const std::string saved = previous ? previous : "";
  ::setenv("PATH", (dir.path() + "/path").c_str(), 1);
  EXPECT_EQ(findBrowserExecutable(own), own);
  EXPECT_EQ(findBrowserExecutable(plain), chrome);  // not executable: discovery instead
  EXPECT_EQ(findBrowserExecutable(dir.file("bin/none")), chrome);
  ::chmod(chrome.c_str(), 0644);
  EXPECT_EQ(findBrowserExecutable(""), edge);
  ::setenv("PATH", dir.file("empty").c_str(), 1);
  EXPECT_EQ(findBrowserExecutable(""), "");
  ::setenv("PATH", saved.c_str(), 1);
}

TEST(BrowserOutput, TheTailKeepsTheLastWholeLines) {
  vidralo::test::TempDir dir;
  const std::string path = dir.write("log", "first line\nsecond line\nthird\n");
  EXPECT_EQ(fileTail(path, 100), "first line\nsecond line\nthird\n");
  EXPECT_EQ(fileTail(path, 10), "third\n");
  EXPECT_EQ(fileTail(dir.file("missing"), 10), "");
}

}  // namespace
}  // namespace vidralo::cdp
