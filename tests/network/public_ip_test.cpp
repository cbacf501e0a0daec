// queryPublicIp against a stand-in lookup site on 127.0.0.1.
#include "network/public_ip.h"

#include <gtest/gtest.h>

#include "support/ip_lookup_site.h"
#include "support/program_directory.h"
#include "support/temp_dir.h"

namespace vidralo {
namespace {

class PublicIpTest : public ::testing::Test {
 protected:
  void configure(const test::IpLookupSite& site) { dir_.write("config.ini", "[hosts]\niplookup = " + site.origin() + "\n"); }

  test::TempDir dir_;
  test::ProgramDirectoryIn programDirectory_{dir_.path()};
};

TEST_F(PublicIpTest, AbsoluteFrameIsFetchedUnchangedAfterAHomePageRequestWithTheBrowserLine) {
  test::IpLookupSite site;
  configure(site);
  EXPECT_EQ(queryPublicIp(), "203.0.113.7");
  const auto seen = site.requests();
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].path, "/");
  EXPECT_EQ(seen[0].userAgent,
            "Mozilla/5.0 (Windows NT 6.1; WOW64) AppleWebKit/537.36 (KHTML, like Gecko) Chrome/50.0.2661.87 "
            "Safari/537.36");
  EXPECT_EQ(seen[0].referer, site.origin());
  EXPECT_EQ(seen[1].path, "/answer");
  EXPECT_EQ(seen[1].userAgent, "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)");
}

TEST_F(PublicIpTest, FrameAddressesAndTitles) {
  const struct {
    const char* name;
    std::string home;
    std::string answer;
    std::string expected;
  } cases[] = {
      {"scheme-relative frame", "<iframe src=\"//{host}/answer\">", "<title>您的IP地址是：198.51.100.4</title>",
       "198.51.100.4"},
      {"whole title remainder", "<iframe src=\"//{host}/answer\">",
       "<title>您的IP地址是：[198.51.100.4] 北京 电信</title>", "[198.51.100.4] 北京 电信"},
      {"no frame", "<p>nothing here</p>", "<title>您的IP地址是：198.51.100.4</title>", ""},
      {"frame without closing quote", "<iframe src=\"//{host}/answer", "<title>您的IP地址是：198.51.100.4</title>",
       ""},
      {"no marker", "<iframe src=\"//{host}/answer\">", "<title>198.51.100.4</title>", ""},
      {"no end of title", "<iframe src=\"//{host}/answer\">", "<title>您的IP地址是：198.51.100.4", ""},
      {"answer page in GBK", "<iframe src=\"//{host}/answer\">",
       "<title>\xC4\xFA\xB5\xC4IP\xB5\xD8\xD6\xB7\xCA\xC7\xA3\xBA" "198.51.100.4</title>", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    test::IpLookupSite site(c.home, c.answer);
    configure(site);
    EXPECT_EQ(queryPublicIp(), c.expected);
  }
}

TEST_F(PublicIpTest, WithoutAConfiguredSiteNoRequestIsMade) {
  test::IpLookupSite site;
  EXPECT_EQ(queryPublicIp(), "");
  dir_.write("config.ini", "[hosts]\niplookup = not an address\n");
  EXPECT_EQ(queryPublicIp(), "");
  EXPECT_TRUE(site.requests().empty());
}

}  // namespace
}  // namespace vidralo
