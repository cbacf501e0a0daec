#include "services_sim/simulated_services.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <QByteArray>
#include <QCryptographicHash>
#include <QImage>

#include <set>

#include "common/json_document.h"
#include "services_sim/ad_picture.h"

namespace vidralo::sim {
namespace {

// "http://127.0.0.1:PORT" of any address on a service.
std::string originOf(const std::string& url) { return url.substr(0, url.find('/', std::string("http://").size())); }

std::string validSign(const std::string& stamp) {
  const QByteArray digest =
      QCryptographicHash::hash(QByteArray(kNotificationSalt) + QByteArray::fromStdString(stamp), QCryptographicHash::Md5);
  return digest.toHex().toStdString() + "@" + stamp;
}

class SimulatedServicesTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(services.start()); }
  void TearDown() override { services.stop(); }

  httplib::Result get(const std::string& origin, const std::string& path, const httplib::Headers& headers = {}) {
    httplib::Client client(origin);
    client.set_connection_timeout(5);
    client.set_url_encode(false);  // the paths are sent exactly as written
    return client.Get(path.c_str(), headers);
  }
  std::string mirrorOrigin(int mirror) const { return originOf(services.mirrorBase(mirror)); }

  SimulatedServices services;
};

TEST_F(SimulatedServicesTest, MirrorProbeAnswersOkAnotherTextOrNothing) {
  services.setMirrorProbe(2, MirrorProbe::OtherText);
  services.setMirrorProbe(3, MirrorProbe::NoAnswer);
  EXPECT_EQ(get(mirrorOrigin(1), "/test.txt")->body, "ok");
  EXPECT_NE(get(mirrorOrigin(2), "/test.txt")->body, "ok");
  EXPECT_FALSE(get(mirrorOrigin(3), "/test.txt"));

  services.setMirrorProbe(3, MirrorProbe::Ok);  // back on the same address
  EXPECT_EQ(get(mirrorOrigin(3), "/test.txt")->body, "ok");
}

TEST_F(SimulatedServicesTest, EveryMirrorServesTheIndexAndTheNotices) {
  for (int mirror = 1; mirror <= 3; ++mirror) {
    auto index = get(mirrorOrigin(mirror), "/vidralo/index.json");
    ASSERT_TRUE(index);
    JsonDocument document;
    ASSERT_TRUE(document.loadText(index->body));
    // The default index names a file the mirrors really serve.
    const std::string address = document.getText("下载地址");
    ASSERT_EQ(address.rfind(services.mirrorBase(1), 0), 0u);
    EXPECT_EQ(get(mirrorOrigin(1), "/" + address.substr(services.mirrorBase(1).size()))->status, 200);
  }
  services.setNotices(R"({"all":"通知","ad1url":"www.example.com"})");
  EXPECT_EQ(get(mirrorOrigin(1), "/gonggao.json")->body, R"({"all":"通知","ad1url":"www.example.com"})");
}

TEST_F(SimulatedServicesTest, SeventeenDistinctPictures) {
  std::set<std::string> pictures;
  for (int n = 1; n <= kAdPictureCount; ++n) {
    auto answer = get(mirrorOrigin(1), "/tool/ad" + std::to_string(n) + ".gif");
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->get_header_value("Content-Type"), "image/gif");
    const QImage image = QImage::fromData(QByteArray::fromStdString(answer->body), "GIF");
    EXPECT_EQ(image.size(), QSize(kAdPictureWidth, kAdPictureHeight)) << n;
    pictures.insert(answer->body);
  }
  EXPECT_EQ(pictures.size(), 17u);
  EXPECT_EQ(get(mirrorOrigin(1), "/tool/ad0.gif")->status, 404);
  EXPECT_EQ(get(mirrorOrigin(1), "/tool/ad18.gif")->status, 404);
}

struct RangeCase {
  const char* range;  // empty: no Range line
  int status;
  const char* contentRange;
  std::size_t first;
  std::size_t length;
};

class DownloadRangeTest : public SimulatedServicesTest, public ::testing::WithParamInterface<RangeCase> {};

TEST_P(DownloadRangeTest, AnswersTheRangeAsked) {
  std::string file(2500000, '\0');
  for (std::size_t i = 0; i < file.size(); ++i) file[i] = static_cast<char>(i % 251);
  services.addFile("f.bin", file);
  const RangeCase& c = GetParam();
  httplib::Headers headers;
  if (*c.range) headers.emplace("Range", c.range);
  auto answer = get(mirrorOrigin(2), "/files/f.bin", headers);
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->status, c.status);
  EXPECT_EQ(answer->get_header_value("Content-Range"), c.contentRange);
  if (c.status >= 400) return;
  EXPECT_EQ(answer->get_header_value("Content-Length"), std::to_string(c.length));
  EXPECT_TRUE(answer->body == file.substr(c.first, c.length));
}

INSTANTIATE_TEST_SUITE_P(
    Ranges, DownloadRangeTest,
    ::testing::Values(RangeCase{"", 200, "", 0, 2500000},
                      RangeCase{"bytes=0-1048575", 206, "bytes 0-1048575/2500000", 0, 1048576},
                      RangeCase{"bytes=2097152-3145727", 206, "bytes 2097152-2499999/2500000", 2097152, 402848},
                      RangeCase{"bytes=2499990-", 206, "bytes 2499990-2499999/2500000", 2499990, 10},
                      RangeCase{"bytes=-5", 206, "bytes 2499995-2499999/2500000", 2499995, 5},
                      RangeCase{"bytes=2500000-2600000", 416, "bytes */2500000", 0, 0}));

TEST_F(SimulatedServicesTest, NotificationsAreRecordedWithTheirSignCheck) {
  const std::string query = "/tongzhi?mubiao=dev@example.com&title=%B5%E7%C4%D4+A&body=a%5Fb+c&sa=1";
  auto signed_ = get(originOf(services.notificationUrl()), query,
                     {{"sign", validSign("1765000000")}});
  ASSERT_TRUE(signed_);
  EXPECT_EQ(signed_->status, 200);
  auto forged = get(originOf(services.notificationUrl()), query,
                    {{"sign", validSign("1765000000").replace(0, 1, "0")}});
  EXPECT_EQ(forged->status, 403);

  const std::vector<Notification> received = services.notifications();
  ASSERT_EQ(received.size(), 2u);
  EXPECT_EQ(received[0].recipient, "dev@example.com");
  EXPECT_EQ(received[0].title, "\xB5\xE7\xC4\xD4 A");  // GBK bytes of 电脑, a blank
  EXPECT_EQ(received[0].body, "a_b c");
  EXPECT_TRUE(received[0].signValid);
  EXPECT_FALSE(received[1].signValid);
  EXPECT_EQ(services.requests(ServiceKind::Notification)[0].header("Sign"), validSign("1765000000"));
}

TEST(NotificationSignTest, AcceptsOnlyTheDigestOfSaltAndStamp) {
  EXPECT_TRUE(notificationSignValid(validSign("1765000000")));
  EXPECT_TRUE(notificationSignValid(validSign("0000000000")));
  EXPECT_FALSE(notificationSignValid(validSign("176500000")));   // 9 digits
  EXPECT_FALSE(notificationSignValid(validSign("17650000x0")));
  EXPECT_FALSE(notificationSignValid(""));
  std::string upper = validSign("1765000000");
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  EXPECT_FALSE(notificationSignValid(upper));
}

TEST_F(SimulatedServicesTest, QuotationAnswersOneSentenceAsText) {
  services.setQuotation("千里之行，始于足下。");
  auto answer = get(originOf(services.quotationUrl()), "/?encode=text");
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->body, "千里之行，始于足下。");
  EXPECT_EQ(answer->get_header_value("Content-Type"), "text/plain; charset=utf-8");
}

TEST_F(SimulatedServicesTest, IpLookupEmbedsTheAnswerPageWhoseTitleCarriesTheAddress) {
  services.setPublicIp("203.0.113.7");
  auto home = get(services.ipLookupUrl(), "/");
  ASSERT_TRUE(home);
  const std::string marker = "<iframe src=\"";
  const std::size_t at = home->body.find(marker);
  ASSERT_NE(at, std::string::npos);
  const std::size_t start = at + marker.size();
  const std::string address = home->body.substr(start, home->body.find('"', start) - start);
  ASSERT_EQ(address.rfind("//", 0), 0u);  // scheme-relative

  const std::string absolute = "http:" + address;
  auto answer = get(originOf(absolute), absolute.substr(originOf(absolute).size()));
  ASSERT_TRUE(answer);
  EXPECT_NE(answer->body.find("<title>您的IP地址是：203.0.113.7</title>"), std::string::npos);
  EXPECT_EQ(services.requests(ServiceKind::IpLookup).size(), 2u);
}

}  // namespace
}  // namespace vidralo::sim
