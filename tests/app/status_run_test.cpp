// The status page beside a real headless run: the program started with a
// status port publishes on the simulated platform while the page is read in
// headless Chromium through the program's own engine.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstdio>
#include <map>
#include <set>
#include <sstream>

#include "app/runtime/exit_codes.h"
#include "common/program_dir.h"
#include "headless_fixture.h"

namespace vidralo {
namespace {

using namespace std::chrono_literals;
using test::CommandRun;

// A port nothing listens on now (the kernel's choice, released at once).
int freePort() {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  socklen_t length = sizeof address;
  getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  close(fd);
  return ntohs(address.sin_port);
}

// The local addresses the process listens on over TCP, as `ss` reports them.
std::set<std::string> listeningAddresses(pid_t pid) {
  std::set<std::string> addresses;
  FILE* ss = popen("ss -ltnpH", "r");
  if (!ss) return addresses;
  char line[1024];
  const std::string owner = "pid=" + std::to_string(pid) + ",";
  while (std::fgets(line, sizeof line, ss)) {
    const std::string text = line;
    if (text.find(owner) == std::string::npos) continue;
    std::istringstream fields(text);
    std::string state, received, sent, local;
    fields >> state >> received >> sent >> local;
    addresses.insert(local);
  }
  pclose(ss);
  return addresses;
}

std::map<std::string, double> metricSamples(const std::string& text) {
  std::map<std::string, double> samples;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);)
    if (!line.empty() && !line.starts_with('#')) samples[line.substr(0, line.rfind(' '))] = std::stod(line.substr(line.rfind(' ') + 1));
  return samples;
}

class StatusPageRun : public test::HeadlessRun {};

TEST_F(StatusPageRun, ShowsTheRunInABrowserAndCountsItInMetrics) {
  addAccount("601", "六零一", {1500, 2500});
  addAccount("602", "六零二", {1800});
  const int port = freePort();
  auto arguments = command({"选择框_自动循环=真", "编辑框_循环间隔=600", "编辑框_视频间隔=0", "编辑框_视频间隔1=0",
                            "编辑框_单账号上传=2", "描述_标题库=真", "编辑框_标题库=第一\r\n第二\r\n第三"});
  arguments.insert(arguments.end(), {"--status-port", std::to_string(port)});
  CommandRun run(dir, arguments);
  ASSERT_TRUE(test::pollUntil([&] { return platform.publications().size() == 3; }, 240s)) << run.errors();

  // The rows on the page and in the metrics are the job's own history.
  const std::map<std::string, std::string> idOf{{"六零一", "601"}, {"六零二", "602"}};
  httplib::Client client("127.0.0.1", port);
  ASSERT_TRUE(test::pollUntil(
      [&] {
        const httplib::Result status = client.Get("/api/status");
        return status && status->body.find(R"("nextRoundAt":0)") == std::string::npos &&
               status->body.find("第三") != std::string::npos;
      },
      30s));
  EXPECT_EQ(listeningAddresses(run.pid()), std::set<std::string>{"127.0.0.1:" + std::to_string(port)});

  test::TempDir viewer;
  cdp::CdpEngine engine{cdp::CdpEngine::Config{cdp::CdpEngine::Headless::On}};
  engine.setRunDirectory(viewer.path());
  ASSERT_TRUE(engine.globalInit(""));
  const StartedBrowser page =
      engine.startBrowser("http://127.0.0.1:" + std::to_string(port) + "/", {"viewer", "960,1038", "1,1"});
  const auto shows = [&](const char* selector, std::vector<std::string> texts) {
    return test::pollUntil(
        [&] {
          const std::string shown = engine.elementText(page.sessionId, selector);
          for (const std::string& text : texts)
            if (shown.find(text) == std::string::npos) return false;
          return true;
        },
        20s, 200ms);
  };
  EXPECT_TRUE(shows("#job", {"运行中", "下一轮"})) << engine.elementText(page.sessionId, "#job");
  EXPECT_TRUE(shows("#accounts tbody", {"601", "六零一", "602", "六零二", "已登录"}))
      << engine.elementText(page.sessionId, "#accounts tbody");
  EXPECT_TRUE(shows("#history tbody", {"已发布", "第一", "第三"}));
  engine.closeBrowsers();

  const httplib::Result metrics = client.Get("/metrics");
  ASSERT_TRUE(metrics);
  const std::map<std::string, double> samples = metricSamples(metrics->body);
  std::map<std::string, int> recorded;
  for (const sim::Publication& publication : platform.publications()) ++recorded[idOf.at(publication.nickname)];
  for (const auto& [account, count] : recorded)
    EXPECT_EQ(samples.at("vidralo_publications_total{account=\"" + account + "\"}"), count) << metrics->body;
  EXPECT_EQ(samples.at("vidralo_job_running"), 1);

  run.signal(SIGTERM);
  EXPECT_EQ(run.wait(60s), 0) << run.errors();
}

TEST_F(StatusPageRun, RefusesAnOpenListenWithoutAToken) {
  const int port = freePort();
  dir.write("config.ini",
            "[hosts]\nplatform = " + platform.origin() + "\n[status]\nlisten = 0.0.0.0:" + std::to_string(port) + "\n");
  CommandRun run(dir, command({}));
  EXPECT_EQ(run.wait(30s), kExitStatusRefused);
  EXPECT_NE(run.errors().find("[status] token"), std::string::npos) << run.errors();
  EXPECT_EQ(run.output().find("无窗口运行"), std::string::npos) << "the job never started";
}

}  // namespace
}  // namespace vidralo
