#include "simulator/simulated_platform.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include "common/json_document.h"
#include "common/text_rules.h"

namespace vidralo::sim {
namespace {

class SimulatedPlatformTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(platform.start());
    client = std::make_unique<httplib::Client>(platform.origin());
  }

  httplib::Headers loggedIn(const std::string& nickname) {
    auto login = client->Get("/login?nickname=" + nickname);
    EXPECT_TRUE(login);
    const std::string cookie = login->get_header_value("Set-Cookie");
    return {{"Cookie", "other=1; " + cookie.substr(0, cookie.find(';'))}};
  }

  httplib::Result post(const std::string& path, const std::string& body, const httplib::Headers& headers = {}) {
    return client->Post(path.c_str(), headers, body, "application/octet-stream");
  }

  // Sends `bytes` the way the page does; returns the upload's id.
  std::string sendFile(const std::string& name, const std::string& bytes, std::size_t pieceSize) {
    auto begun = post("/sim/upload/begin?name=" + name + "&size=" + numberToText(bytes.size()), "");
    EXPECT_EQ(begun->status, 200);
    JsonDocument answer;
    answer.loadText(begun->body);
    const std::string id = answer.getText("id");
    std::size_t offset = 0;
    do {
      const std::string piece = bytes.substr(offset, pieceSize);
      auto sent = post("/sim/upload/piece?id=" + id + "&offset=" + numberToText(offset), piece);
      EXPECT_EQ(sent->status, 200);
      offset += piece.size();
    } while (offset < bytes.size());
    return id;
  }

  SimulatedPlatform platform;
  std::unique_ptr<httplib::Client> client;
};

TEST_F(SimulatedPlatformTest, ServesTheUploadPageWithTheLoggedInNickname) {
  EXPECT_EQ(platform.uploadPageUrl(), platform.origin() + "/cgibin/recwxamanager/userclientjump?tag=uploadindex#/home");

  auto anonymous = client->Get("/cgibin/recwxamanager/userclientjump?tag=uploadindex");
  ASSERT_TRUE(anonymous);
  EXPECT_EQ(anonymous->status, 200);
  EXPECT_NE(anonymous->body.find(R"("nickname":null)"), std::string::npos);

  auto page = client->Get("/cgibin/recwxamanager/userclientjump?tag=uploadindex", loggedIn("%E5%B0%8F%E7%8E%8B"));
  ASSERT_TRUE(page);
  EXPECT_NE(page->body.find(R"("nickname":"小王")"), std::string::npos);
  // The marker must appear only once the page has rendered its upload area.
  EXPECT_EQ(page->body.find("视频拖拽"), std::string::npos);
  EXPECT_EQ(platform.pageLoads(), 2);
}

TEST_F(SimulatedPlatformTest, LogInIsALastingCookieAndLeadsToTheUploadPage) {
  auto login = client->Get("/login?nickname=abc");
  ASSERT_TRUE(login);
  EXPECT_EQ(login->status, 302);
  EXPECT_EQ(login->get_header_value("Location"), "/cgibin/recwxamanager/userclientjump?tag=uploadindex#/home");
  EXPECT_NE(login->get_header_value("Set-Cookie").find("Max-Age="), std::string::npos);
  EXPECT_EQ(client->Get("/login")->status, 400);
}

TEST_F(SimulatedPlatformTest, ALogInPageCodeConfirmedByThePhoneLogsInAndExpiringItEndsTheLogIn) {
  const char* page = "/cgibin/recwxamanager/userclientjump?tag=uploadindex";
  auto anonymous = client->Get(page);
  ASSERT_TRUE(anonymous);
  ASSERT_EQ(platform.waitingLoginCodes().size(), 1u);
  const std::string code = platform.waitingLoginCodes()[0];
  EXPECT_NE(anonymous->body.find(R"("loginCode":")" + code + "\""), std::string::npos);
  EXPECT_EQ(client->Get("/sim/logins")->body, "[\"" + code + "\"]");
  EXPECT_NE(client->Get("/sim/login/picture?code=" + code)->body.find("<svg"), std::string::npos);

  EXPECT_EQ(client->Get("/sim/login/state?code=" + code)->body, R"({"confirmed":false})");
  EXPECT_EQ(client->Get("/sim/login/confirm?code=nope&nickname=bob")->status, 404);
  EXPECT_EQ(client->Get("/sim/login/confirm?code=" + code + "&nickname=bob")->status, 200);
  auto confirmed = client->Get("/sim/login/state?code=" + code);
  EXPECT_EQ(confirmed->body, R"({"confirmed":true})");
  const std::string cookie = confirmed->get_header_value("Set-Cookie");
  const httplib::Headers bob{{"Cookie", cookie.substr(0, cookie.find(';'))}};
  EXPECT_NE(client->Get(page, bob)->body.find(R"("nickname":"bob")"), std::string::npos);
  EXPECT_TRUE(platform.waitingLoginCodes().empty());

  EXPECT_EQ(client->Get("/sim/expire?nickname=bob")->status, 200);
  auto expired = client->Get(page, bob);
  EXPECT_NE(expired->body.find(R"("nickname":null)"), std::string::npos);
  EXPECT_NE(expired->get_header_value("Set-Cookie").find("Max-Age=0"), std::string::npos);
  const std::string id = sendFile("a.mp4", "abc", 3);
  EXPECT_EQ(post("/sim/publish?id=" + id, "t", bob)->status, 401);
  // Logging in again lifts the expiry.
  EXPECT_NE(client->Get(page, loggedIn("bob"))->body.find(R"("nickname":"bob")"), std::string::npos);
}

TEST_F(SimulatedPlatformTest, ACompleteUploadIsPublishedWithNicknameSizeAndTitle) {
  const std::string bytes(3 * 1024 * 1024 + 17, 'v');
  const std::string id = sendFile("clip%201.mp4", bytes, 256 * 1024);
  auto published = post("/sim/publish?id=" + id, "今天的标题", loggedIn("alice"));
  ASSERT_TRUE(published);
  EXPECT_EQ(published->status, 200);

  const std::vector<Publication> expected{{"alice", "clip 1.mp4", static_cast<std::int64_t>(bytes.size()), "今天的标题"}};
  EXPECT_EQ(platform.publications(), expected);
  auto listed = client->Get("/sim/publications");
  EXPECT_EQ(listed->body, R"([{"nickname":"alice","fileName":"clip 1.mp4","byteSize":3145745,"title":"今天的标题"}])");

  EXPECT_EQ(post("/sim/publish?id=" + id, "again", loggedIn("alice"))->status, 409) << "published twice";
}

TEST_F(SimulatedPlatformTest, RefusesPiecesOutOfOrderOrBeyondTheAnnouncedSize) {
  auto begun = post("/sim/upload/begin?name=a.mp4&size=10", "");
  JsonDocument answer;
  answer.loadText(begun->body);
  const std::string id = answer.getText("id");
  EXPECT_EQ(post("/sim/upload/piece?id=" + id + "&offset=5", "12345")->status, 409);
  EXPECT_EQ(post("/sim/upload/piece?id=" + id + "&offset=0", "12345678901")->status, 400);
  EXPECT_EQ(post("/sim/upload/piece?id=nope&offset=0", "1")->status, 404);

  auto half = post("/sim/upload/piece?id=" + id + "&offset=0", "12345");
  EXPECT_NE(half->body.find(R"("received":5,"complete":false)"), std::string::npos);
  EXPECT_EQ(post("/sim/publish?id=" + id, "t", loggedIn("bob"))->status, 409) << "published before complete";
}

TEST_F(SimulatedPlatformTest, PublishingNeedsALogIn) {
  const std::string id = sendFile("a.mp4", "abc", 2);
  EXPECT_EQ(post("/sim/publish?id=" + id, "t")->status, 401);
  EXPECT_TRUE(platform.publications().empty());
}

TEST_F(SimulatedPlatformTest, AnUploadThatNeverCompletesKeepsItsLastPiece) {
  platform.setUploadNeverCompletes(true);
  const std::string id = sendFile("a.mp4", "0123456789", 4);
  auto again = post("/sim/upload/piece?id=" + id + "&offset=8", "89");
  EXPECT_NE(again->body.find(R"("received":8,"complete":false,"stalled":true)"), std::string::npos);
  EXPECT_EQ(post("/sim/publish?id=" + id, "t", loggedIn("bob"))->status, 409);
}

TEST_F(SimulatedPlatformTest, EmptyFileCompletesWithItsOnlyEmptyPiece) {
  const std::string id = sendFile("empty.mp4", "", 4);
  EXPECT_EQ(post("/sim/publish?id=" + id, "", loggedIn("bob"))->status, 200);
  ASSERT_EQ(platform.publications().size(), 1u);
  EXPECT_EQ(platform.publications()[0].byteSize, 0);
}

TEST_F(SimulatedPlatformTest, ThrottleSetsThePageToSmallPiecesWithPauses) {
  platform.setUploadThrottle(40000);
  auto begun = post("/sim/upload/begin?name=a.mp4&size=100000", "");
  EXPECT_NE(begun->body.find(R"("pieceSize":10000,"pauseMs":250)"), std::string::npos) << begun->body;
}

TEST_F(SimulatedPlatformTest, FaultSwitchesCanBeSetOverHttp) {
  auto changed = client->Get("/sim/faults?alertOnLoad=1&hideNickname=true&readyDelayMs=50&throttle=9");
  ASSERT_TRUE(changed);
  const PlatformFaults faults = platform.faults();
  EXPECT_TRUE(faults.alertOnLoad);
  EXPECT_TRUE(faults.hideNickname);
  EXPECT_FALSE(faults.uploadNeverCompletes);
  EXPECT_EQ(faults.readyDelayMs, 50);
  EXPECT_EQ(faults.throttleBytesPerSecond, 9);

  auto page = client->Get("/cgibin/recwxamanager/userclientjump", loggedIn("x"));
  EXPECT_NE(page->body.find(R"("hideNickname":true,"alertOnLoad":true,"readyDelayMs":50)"), std::string::npos);
}

TEST(SimulatedPlatformLifecycle, StopsRightAfterStartAndStartsAgain) {
  SimulatedPlatform platform;
  for (int round = 0; round < 3; ++round) {
    ASSERT_TRUE(platform.start());
    EXPECT_TRUE(startsWith(platform.origin(), "http://127.0.0.1:"));
    platform.stop();
    EXPECT_EQ(platform.origin(), "");
  }
  ASSERT_TRUE(platform.start());
  httplib::Client client(platform.origin());
  EXPECT_EQ(client.Get("/sim/publications")->body, "[]");
}

}  // namespace
}  // namespace vidralo::sim
