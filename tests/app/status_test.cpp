// The status page in-process: its HTTP answers over loopback, from controls
// filled as the job fills them and a history database of the shared layout.
#include <gtest/gtest.h>
#include <httplib.h>
#include <rapidjson/document.h>
#include <rapidjson/pointer.h>
#include <sys/stat.h>

#include <filesystem>
#include <map>
#include <sstream>

#include "app/status/status_listen.h"
#include "app/status/status_server.h"
#include "app/status/status_snapshot.h"
#include "support/history_seed.h"
#include "support/program_directory.h"
#include "support/temp_dir.h"

namespace vidralo {
namespace {

TEST(StatusListen, ChoosesTheAddressOrRefusesIt) {
  struct Case {
    std::optional<int> port;
    std::string listen, token, host;
    int expectedPort;
    bool loopback;
    bool refused;
  };
  const Case cases[] = {
      {std::nullopt, "", "", "", 0, true, false},                        // off
      {8111, "0.0.0.0:9000", "", "127.0.0.1", 8111, true, false},        // the option wins, on loopback
      {std::nullopt, "127.0.0.1:9000", "", "127.0.0.1", 9000, true, false},
      {std::nullopt, "[::1]:9001", "", "::1", 9001, true, false},
      {std::nullopt, "0.0.0.0:9002", "t", "0.0.0.0", 9002, false, false},
      {std::nullopt, "[::]:9003", "t", "::", 9003, false, false},
      {std::nullopt, "0.0.0.0:9002", "", "", 0, false, true},            // open to the network without a token
      {std::nullopt, "192.168.1.5:80", "", "", 0, false, true},
      {std::nullopt, "localhost:9000", "t", "", 0, false, true},         // names could resolve anywhere
      {std::nullopt, "127.0.0.1:70000", "", "", 0, false, true},
      {std::nullopt, "127.0.0.1", "", "", 0, false, true},
      {std::nullopt, "[::1]9000", "", "", 0, false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.listen);
    const StatusListenChoice choice = chooseStatusListen(c.port, c.listen, c.token);
    EXPECT_EQ(!choice.refusal.empty(), c.refused) << choice.refusal;
    if (c.refused || c.expectedPort == 0) {
      EXPECT_FALSE(choice.listen);
      continue;
    }
    ASSERT_TRUE(choice.listen);
    EXPECT_EQ(choice.listen->host, c.host);
    EXPECT_EQ(choice.listen->port, c.expectedPort);
    EXPECT_EQ(choice.listen->loopback, c.loopback);
  }
}

TEST(StatusSnapshot, ForbiddenHoursEndAtTheFirstAllowedHour) {
  const auto at = [](int day, int hour, int minute) {
    std::tm local{};
    local.tm_year = 2026 - 1900;
    local.tm_mon = 11;
    local.tm_mday = day;
    local.tm_hour = hour;
    local.tm_min = minute;
    local.tm_isdst = -1;
    return std::mktime(&local);
  };
  std::string everyHour;
  for (int hour = 0; hour < 24; ++hour) everyHour += std::to_string(hour) + "点";
  EXPECT_EQ(forbiddenHoursEnd("1点2点13点14点", at(9, 13, 40)), at(9, 15, 0));
  EXPECT_EQ(forbiddenHoursEnd("1点2点13点14点", at(9, 12, 59)), 0);
  EXPECT_EQ(forbiddenHoursEnd("23点0点", at(9, 23, 30)), at(10, 1, 0));
  EXPECT_EQ(forbiddenHoursEnd(everyHour, at(9, 10, 0)), 0);
}

class StatusPage : public ::testing::Test {
 protected:
  void SetUp() override {
    controls.appendRow({"1", "七零一", "/v", "701", "耗时：12/300", "/v/c.mp4", "2"});
    controls.appendRow({"2", "七零二", "/v", "702", "未登录，已跳过", "", ""});
    controls.appendRow({"3", "", "/v", "703", "", "", ""});
    controls.setText(ControlId::编辑框_账号序列, "1");
    controls.setCaption(ControlId::分组框6, "本轮结束，等待60秒继续下一轮");
    dir.write("logs/login-703.png", "png of the log-in");
    dir.write("logs/failures/x.png", "evidence");
    dir.write("config.ini", "secret");
    test::seedHistory(dir.file("data/history.sqlite3"),
                      {{"2026-12-09 10:00:00", "701", "第一"},
                       {"2026-12-09 11:00:00", "702", "坏的", AttemptOutcome::Failed, "publish", dir.file("logs/failures/x.png")},
                       {"2026-12-09 12:00:00", "701", "第二"}});
  }

  void start(StatusListen listen = {"127.0.0.1", 0}) {
    std::string error;
    server = StatusServer::bind(listen, error);
    ASSERT_TRUE(server) << error;
    watching = server->watch(controls, {[] { return true; }, [] { return 3; }});
    client = std::make_unique<httplib::Client>("127.0.0.1", server->port());
  }

  void TearDown() override {
    watching.reset();
    server.reset();
  }

  rapidjson::Document getJson(const std::string& path) {
    rapidjson::Document document;
    const httplib::Result result = client->Get(path);
    EXPECT_TRUE(result && result->status == 200) << path;
    if (result) document.Parse(result->body.c_str());
    return document;
  }

  static std::string text(const rapidjson::Document& document, const char* pointer) {
    const rapidjson::Value* value = rapidjson::Pointer(pointer).Get(document);
    if (!value) return "(missing)";
    if (value->IsString()) return value->GetString();
    if (value->IsBool()) return value->GetBool() ? "true" : "false";
    if (value->IsInt64()) return std::to_string(value->GetInt64());
    return "(other)";
  }

  test::TempDir dir;
  test::ProgramDirectoryIn programDirectory{dir.path()};
  ControlModel controls;
  std::unique_ptr<StatusServer> server;
  std::unique_ptr<WatchHandle> watching;
  std::unique_ptr<httplib::Client> client;
};

TEST_F(StatusPage, StatusJoinsTheControlsWithTheHistory) {
  start();
  const rapidjson::Document status = getJson("/api/status");
  EXPECT_EQ(text(status, "/job/running"), "true");
  EXPECT_EQ(text(status, "/job/account"), "701");
  EXPECT_EQ(text(status, "/job/video"), "/v/c.mp4");
  EXPECT_EQ(text(status, "/job/elapsedSeconds"), "12");
  EXPECT_EQ(std::stoll(text(status, "/job/nextRoundAt")) - std::stoll(text(status, "/time")), 60);
  EXPECT_EQ(text(status, "/accounts/0/loggedIn"), "true");
  EXPECT_EQ(text(status, "/accounts/0/publishedToday"), "2");
  EXPECT_EQ(text(status, "/accounts/0/lastPublished/title"), "第二");
  EXPECT_EQ(text(status, "/accounts/1/loggedIn"), "false");
  EXPECT_EQ(text(status, "/accounts/1/lastFailed/step"), "publish");
  EXPECT_EQ(text(status, "/accounts/1/lastFailed/evidence"), "/evidence/x.png");
  EXPECT_EQ(text(status, "/accounts/2/loggedIn"), "false");
  EXPECT_EQ(text(status, "/accounts/2/loginPicture"), "/login-picture/703");
  EXPECT_EQ(text(status, "/history/0/title"), "第二") << "newest first";
  EXPECT_EQ(text(status, "/history/2/title"), "第一");

  const rapidjson::Document history = getJson("/api/history?account=701&since=2026-12-09%2011:00:00");
  ASSERT_TRUE(history.IsArray());
  ASSERT_EQ(history.Size(), 1u);
  EXPECT_EQ(text(history, "/0/title"), "第二");
}

TEST_F(StatusPage, MetricsCountWhatTheHistoryHolds) {
  start();
  const httplib::Result result = client->Get("/metrics");
  ASSERT_TRUE(result && result->status == 200);
  std::map<std::string, double> samples;
  std::istringstream lines(result->body);
  for (std::string line; std::getline(lines, line);) {
    if (line.empty() || line.starts_with('#')) continue;
    const std::size_t blank = line.rfind(' ');
    samples[line.substr(0, blank)] = std::stod(line.substr(blank + 1));
  }
  std::tm noon{};
  noon.tm_year = 126, noon.tm_mon = 11, noon.tm_mday = 9, noon.tm_hour = 12, noon.tm_isdst = -1;
  const std::map<std::string, double> expected{
      {R"(vidralo_publications_total{account="701"})", 2},
      {R"(vidralo_publications_total{account="702"})", 0},
      {R"(vidralo_publications_total{account="703"})", 0},
      {R"(vidralo_failures_total{account="702",step="publish"})", 1},
      {R"(vidralo_account_logged_in{account="701"})", 1},
      {R"(vidralo_account_logged_in{account="702"})", 0},
      {R"(vidralo_account_logged_in{account="703"})", 0},
      {R"(vidralo_last_publication_timestamp_seconds{account="701"})", static_cast<double>(std::mktime(&noon))},
      {"vidralo_job_running", 1},
      {"vidralo_browsers_running", 3},
  };
  EXPECT_EQ(samples, expected) << result->body;
}

TEST_F(StatusPage, ServesFilesOnlyFromInsideTheirFolder) {
  std::filesystem::create_symlink(dir.file("config.ini"), dir.file("logs/failures/link.png"));
  ASSERT_EQ(mkfifo(dir.file("logs/failures/fifo.png").c_str(), 0600), 0);
  start();
  const std::pair<const char*, int> cases[] = {
      {"/evidence/x.png", 200},
      {"/login-picture/703", 200},
      {"/evidence/..", 404},
      {"/evidence/..%2F..%2Fconfig.ini", 404},
      {"/evidence/%2E%2E%2Fx.png", 404},
      {"/evidence/link.png", 404},
      {"/evidence/fifo.png", 404},
      {"/login-picture/..%2Ffailures%2Fx", 404},
  };
  for (const auto& [path, expected] : cases) {
    const httplib::Result result = client->Get(path);
    ASSERT_TRUE(result) << path;
    EXPECT_EQ(result->status, expected) << path;
    if (expected == 200) {
      EXPECT_NE(result->body.find(path[1] == 'e' ? "evidence" : "log-in"), std::string::npos);
    }
    EXPECT_EQ(result->body.find("secret"), std::string::npos) << path;
  }
}

TEST_F(StatusPage, ChangesNothingAndCreatesNoDatabase) {
  std::filesystem::remove(dir.file("data/history.sqlite3"));
  std::filesystem::remove(dir.file("data/history.sqlite3-wal"));
  std::filesystem::remove(dir.file("data/history.sqlite3-shm"));
  start();
  EXPECT_EQ(text(getJson("/api/status"), "/accounts/0/id"), "701");
  EXPECT_TRUE(getJson("/api/history").IsArray());
  for (const char* path : {"/", "/api/status", "/metrics"}) {
    const httplib::Result posted = client->Post(path, "x", "text/plain");
    ASSERT_TRUE(posted);
    EXPECT_GE(posted->status, 400) << path;
  }
  EXPECT_FALSE(std::filesystem::exists(dir.file("data/history.sqlite3")));
  EXPECT_EQ(controls.cell(0, 列_状态), "耗时：12/300");
}

TEST_F(StatusPage, ASecondServerOnTheSamePortIsRefused) {
  start();
  std::string error;
  EXPECT_FALSE(StatusServer::bind({"127.0.0.1", server->port()}, error));
  EXPECT_NE(error.find(std::to_string(server->port())), std::string::npos) << error;
}

TEST_F(StatusPage, AnOpenListenWantsTheTokenOnEveryRequest) {
  start({"0.0.0.0", 0, "s3cret", false});
  for (const char* path : {"/", "/api/status", "/api/history", "/metrics", "/evidence/x.png"}) {
    SCOPED_TRACE(path);
    const httplib::Result bare = client->Get(path);
    ASSERT_TRUE(bare);
    EXPECT_EQ(bare->status, 401);
    const httplib::Result wrong = client->Get(path, {{"Authorization", "Bearer s3cre"}});
    ASSERT_TRUE(wrong);
    EXPECT_EQ(wrong->status, 401);
    const httplib::Result right = client->Get(path, {{"Authorization", "Bearer s3cret"}});
    ASSERT_TRUE(right);
    EXPECT_EQ(right->status, 200);
  }
}

}  // namespace
}  // namespace vidralo
