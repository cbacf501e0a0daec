#include "common/app_config.h"

#include <gtest/gtest.h>

#include "common/program_dir.h"
#include "support/temp_dir.h"

namespace vidralo {
namespace {

TEST(IniValue, FindsKeysOfTheirOwnSectionOnly) {
  const std::string ini =
      "\xEF\xBB\xBF; comment\r\n"
      "platform = wrong, no section yet\r\n"
      "[other]\r\nplatform=http://other\r\n"
      "[ Hosts ]\r\n"
      "  Platform  =  \"http://127.0.0.1:8080\"  \r\n"
      "platform=http://second\r\n"
      "empty=\r\n"
      "# platform2=x\r\n";
  EXPECT_EQ(iniValue(ini, "hosts", "platform"), "http://127.0.0.1:8080");
  EXPECT_EQ(iniValue(ini, "HOSTS", "empty"), "");
  EXPECT_EQ(iniValue(ini, "hosts", "platform2"), "");
  EXPECT_EQ(iniValue(ini, "other", "platform"), "http://other");
  EXPECT_EQ(iniValue(ini, "missing", "platform"), "");
  EXPECT_EQ(iniValue("[hosts]\nplatform=a=b", "hosts", "platform"), "a=b") << "only the first = splits";
  EXPECT_EQ(iniValue("[hosts]\nplatform", "hosts", "platform"), "");
}

TEST(NormalizedOrigin, AcceptsOnlyHttpAndHttpsOrigins) {
  EXPECT_EQ(normalizedOrigin("https://creator.example.com"), "https://creator.example.com");
  EXPECT_EQ(normalizedOrigin(" HTTP://127.0.0.1:8080/ "), "http://127.0.0.1:8080");
  EXPECT_EQ(normalizedOrigin("ftp://example.com"), "");
  EXPECT_EQ(normalizedOrigin("example.com"), "");
  EXPECT_EQ(normalizedOrigin("https://"), "");
  EXPECT_EQ(normalizedOrigin("https://example.com/path"), "");
  EXPECT_EQ(normalizedOrigin("https://example.com?x=1"), "");
  EXPECT_EQ(normalizedOrigin("https://user@example.com"), "");
  EXPECT_EQ(normalizedOrigin("https://example.com:"), "");
  EXPECT_EQ(normalizedOrigin("https://example.com:99999"), "");
  EXPECT_EQ(normalizedOrigin("https://example.com:0"), "");
  EXPECT_EQ(normalizedOrigin("https://exa mple.com"), "");
}

TEST(NormalizedOrigin, IsTheFormTheBrowserReports) {
  const std::pair<const char*, const char*> cases[] = {
      {"http://LOCALHOST:8080", "http://localhost:8080"},
      {"https://creator.example.com:443", "https://creator.example.com"},
      {"http://Creator.Example.COM:80/", "http://creator.example.com"},
      {"https://example.com:80", "https://example.com:80"},
      {"http://example.com:08080", "http://example.com:8080"},
      {"https://例子.测试", "https://xn--fsqu00a.xn--0zwm56d"},
      {"https://BÜCHER.de:443", "https://xn--bcher-kva.de"},
  };
  for (const auto& [configured, canonical] : cases) EXPECT_EQ(normalizedOrigin(configured), canonical) << configured;
}

class ConfigFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    previous = programDirectory();
    setProgramDirectory(dir.path());
  }
  void TearDown() override { setProgramDirectory(previous); }
  void writeConfig(const std::string& text) { dir.write("config.ini", text); }

  test::TempDir dir;
  std::string previous;
};

TEST_F(ConfigFileTest, UploadPageFollowsThePlatformHost) {
  EXPECT_EQ(configFilePath(), dir.path() + "/config.ini");
  EXPECT_EQ(uploadPageUrl(), "") << "no file";

  writeConfig("[hosts]\nplatform=http://127.0.0.1:8080/\n");
  EXPECT_EQ(uploadPageUrl(), "http://127.0.0.1:8080/cgibin/recwxamanager/userclientjump?tag=uploadindex#/home");

  writeConfig("[hosts]\nplatform=https://creator.example.com/cgibin\n");
  EXPECT_EQ(uploadPageUrl(), "") << "a path is not an origin";

  writeConfig("[hosts]\nupdate=https://u.example.com\n");
  EXPECT_EQ(uploadPageUrl(), "");
  EXPECT_EQ(configValue("hosts", "update"), "https://u.example.com");
}

TEST_F(ConfigFileTest, BrowserOptions) {
  EXPECT_EQ(browserHeadlessMode(), HeadlessMode::Auto);
  EXPECT_TRUE(browserExtraArguments().empty());

  writeConfig("[browser]\nheadless = TRUE\nargs =  --lang=zh-CN \t --disable-gpu  \n");
  EXPECT_EQ(browserHeadlessMode(), HeadlessMode::On);
  EXPECT_EQ(browserExtraArguments(), (std::vector<std::string>{"--lang=zh-CN", "--disable-gpu"}));

  writeConfig("[browser]\nheadless=false\n");
  EXPECT_EQ(browserHeadlessMode(), HeadlessMode::Off);
  writeConfig("[browser]\nheadless=sometimes\n");
  EXPECT_EQ(browserHeadlessMode(), HeadlessMode::Auto);
}

}  // namespace
}  // namespace vidralo
