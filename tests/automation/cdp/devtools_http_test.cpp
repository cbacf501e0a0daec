#include "automation/cdp/devtools_http.h"

#include <gtest/gtest.h>
#include <httplib.h>
#include <signal.h>

#include <atomic>
#include <thread>

namespace vidralo::cdp {
namespace {

TEST(VersionRequest, ReturnsTheBodyOfAnAnswerAndNothingForAnythingElse) {
  ::signal(SIGPIPE, SIG_IGN);  // the test server writes without MSG_NOSIGNAL
  httplib::Server server;
  std::string body = R"({"Browser":"Chrome/156.0","webSocketDebuggerUrl":"ws://127.0.0.1:1/devtools/browser/x"})";
  body += std::string(20000, ' ');  // longer than one read
  std::atomic<int> status{200};
  server.Get("/json/version", [&](const httplib::Request&, httplib::Response& response) {
    response.status = status;
    if (status == 200) response.set_content(body, "application/json");
  });
  const int port = server.bind_to_any_port("127.0.0.1");
  std::thread serving([&] { server.listen_after_bind(); });

  EXPECT_EQ(fetchVersionJson(port, std::chrono::seconds(5)), body);
  status = 404;
  EXPECT_EQ(fetchVersionJson(port, std::chrono::seconds(5)), "");

  server.stop();
  serving.join();
  EXPECT_EQ(fetchVersionJson(port, std::chrono::seconds(1)), "");  // nobody listens any more
}

}  // namespace
}  // namespace vidralo::cdp
