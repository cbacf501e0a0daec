#include "automation/cdp/cdp_connection.h"

#include <gtest/gtest.h>

#include <future>
#include <stop_token>
#include <thread>

#include "automation/cdp/cdp_json.h"
#include "common/stop.h"
#include "fake_transport.h"

namespace vidralo::cdp {
namespace {

using test::FakeTransport;
using namespace std::chrono_literals;

struct Sent {
  std::int64_t id = 0;
  std::string method, sessionId, params;
};

Sent parse(const std::string& text) {
  rapidjson::Document message;
  message.Parse(text.c_str());
  Sent sent;
  sent.id = integerMember(message, "id");
  sent.method = stringMember(message, "method");
  sent.sessionId = stringMember(message, "sessionId");
  if (const rapidjson::Value* params = member(message, "params"); params && params->IsObject())
    sent.params = stringMember(*params, "expression");
  return sent;
}

std::string answer(std::int64_t id, const std::string& result) {
  return "{\"id\":" + std::to_string(id) + ",\"result\":" + result + "}";
}

class ConnectionTest : public ::testing::Test {
 protected:
  ConnectionTest() {
    auto transport = std::make_unique<FakeTransport>();
    fake_ = transport.get();
    connection_ = std::make_unique<CdpConnection>(std::move(transport), [this] { ++closedCalls_; });
  }

  FakeTransport* fake_;
  std::atomic<int> closedCalls_{0};
  std::unique_ptr<CdpConnection> connection_;
};

TEST_F(ConnectionTest, AnswersReachTheirOwnCallersInAnyOrder) {
  auto first = std::async(std::launch::async, [&] {
    return connection_->call("Runtime.evaluate", JsonObject().text("expression", "1").str(), "S1");
  });
  const Sent one = parse(fake_->waitForSent(1).at(0));
  auto second = std::async(std::launch::async, [&] { return connection_->call("Page.reload", "{}", "S2"); });
  const Sent two = parse(fake_->waitForSent(2).at(1));

  EXPECT_NE(one.id, two.id);
  EXPECT_EQ(one.method, "Runtime.evaluate");
  EXPECT_EQ(one.sessionId, "S1");
  EXPECT_EQ(one.params, "1");
  EXPECT_EQ(two.sessionId, "S2");

  fake_->deliver(answer(two.id, "{\"who\":\"second\"}"));
  fake_->deliver(answer(one.id, "{\"who\":\"first\"}"));
  const CdpReply a = first.get(), b = second.get();
  ASSERT_TRUE(a.ok);
  ASSERT_TRUE(b.ok);
  EXPECT_EQ(stringMember(a.result(), "who"), "first");
  EXPECT_EQ(stringMember(b.result(), "who"), "second");
  EXPECT_EQ(connection_->pendingCount(), 0u);
}

TEST_F(ConnectionTest, TwoCommandsCalledTogetherAreBothSentBeforeEitherAnswer) {
  auto both = std::async(std::launch::async, [&] {
    return connection_->callTwo({"Runtime.evaluate", JsonObject().text("expression", "f").str(), "S"},
                                {"Runtime.evaluate", JsonObject().text("expression", "g").str(), "S"});
  });
  const std::vector<std::string> sent = fake_->waitForSent(2);
  ASSERT_EQ(sent.size(), 2u);
  const Sent first = parse(sent[0]), second = parse(sent[1]);
  EXPECT_EQ(first.params + second.params, "fg");
  fake_->deliver(answer(second.id, "{\"who\":\"g\"}"));
  fake_->deliver(answer(first.id, "{\"who\":\"f\"}"));
  const auto [f, g] = both.get();
  EXPECT_EQ(stringMember(f.result(), "who"), "f");
  EXPECT_EQ(stringMember(g.result(), "who"), "g");
  EXPECT_EQ(connection_->pendingCount(), 0u);
}

TEST_F(ConnectionTest, ProtocolErrorsCarryTheMethodAndTheBrowsersMessage) {
  auto call = std::async(std::launch::async, [&] { return connection_->call("DOM.setFileInputFiles"); });
  const Sent sent = parse(fake_->waitForSent(1).at(0));
  fake_->deliver("{\"id\":" + std::to_string(sent.id) +
                 ",\"error\":{\"code\":-32000,\"message\":\"Not allowed\",\"data\":\"node is not a file input\"}}");
  const CdpReply reply = call.get();
  EXPECT_FALSE(reply.ok);
  EXPECT_EQ(reply.error, "Protocol error (DOM.setFileInputFiles): Not allowed (node is not a file input)");
}

TEST_F(ConnectionTest, AnUnansweredCommandEndsAtItsTimeLimitAndALateAnswerIsDropped) {
  const CdpReply reply = connection_->call("Runtime.evaluate", "{}", "S", 30ms);
  EXPECT_FALSE(reply.ok);
  EXPECT_NE(reply.error.find("Protocol error (Runtime.evaluate): no answer within 30 ms"), std::string::npos);
  EXPECT_EQ(connection_->pendingCount(), 0u);

  const Sent sent = parse(fake_->waitForSent(1).at(0));
  fake_->deliver(answer(sent.id, "{}"));  // must not touch the finished call
  EXPECT_TRUE(connection_->isOpen());
  EXPECT_EQ(connection_->pendingCount(), 0u);
}

TEST_F(ConnectionTest, ClosingFailsEveryPendingCommandAtOnceAndLaterCallsFailFast) {
  std::vector<std::future<CdpReply>> calls;
  for (int i = 0; i < 3; ++i)
    calls.push_back(std::async(std::launch::async, [&] { return connection_->call("Page.navigate", "{}", "S", 1h); }));
  fake_->waitForSent(3);
  fake_->end();
  for (auto& call : calls) {
    const CdpReply reply = call.get();
    EXPECT_FALSE(reply.ok);
    EXPECT_NE(reply.error.find("Protocol error (Page.navigate)"), std::string::npos);
  }
  EXPECT_FALSE(connection_->isOpen());
  EXPECT_EQ(closedCalls_, 1);

  const CdpReply after = connection_->call("Page.reload", "{}", "S", 1h);
  EXPECT_FALSE(after.ok);
  EXPECT_EQ(fake_->waitForSent(0).size(), 3u);  // nothing more was sent
  connection_->close();
  EXPECT_EQ(closedCalls_, 1);
}

TEST_F(ConnectionTest, AStopRequestAbandonsTheWaitingCall) {
  std::stop_source stop;
  auto call = std::async(std::launch::async, [&] {
    StopScope scope(stop.get_token());
    return connection_->call("Runtime.evaluate", "{}", "S", 1h);
  });
  fake_->waitForSent(1);
  stop.request_stop();
  const CdpReply reply = call.get();
  EXPECT_FALSE(reply.ok);
  EXPECT_EQ(connection_->pendingCount(), 0u);

  // Already stopped: nothing is even sent.
  StopScope scope(stop.get_token());
  EXPECT_FALSE(connection_->call("Page.reload").ok);
  EXPECT_EQ(fake_->waitForSent(0).size(), 1u);
}

TEST_F(ConnectionTest, EventsGoToTheHandlersOfTheirSessionOnly) {
  std::vector<std::string> pageA, browser;
  const int a = connection_->subscribe("A", [&](const CdpEvent& e) {
    pageA.push_back(std::string(e.method) + ":" + stringMember(e.params, "type"));
  });
  connection_->subscribe("", [&](const CdpEvent& e) { browser.emplace_back(e.method); });

  fake_->deliver(R"({"method":"Page.javascriptDialogOpening","sessionId":"A","params":{"type":"alert"}})");
  fake_->deliver(R"({"method":"Page.javascriptDialogOpening","sessionId":"B","params":{"type":"confirm"}})");
  fake_->deliver(R"({"method":"Target.targetDestroyed","params":{"targetId":"T"}})");
  fake_->deliver("not json at all");
  connection_->unsubscribe(a);
  fake_->deliver(R"({"method":"Page.loadEventFired","sessionId":"A","params":{}})");

  EXPECT_EQ(pageA, std::vector<std::string>{"Page.javascriptDialogOpening:alert"});
  EXPECT_EQ(browser, std::vector<std::string>{"Target.targetDestroyed"});
}

TEST_F(ConnectionTest, AHandlerMayPostCommandsWithoutWaiting) {
  connection_->subscribe("A", [&](const CdpEvent&) {
    connection_->post("Page.handleJavaScriptDialog", JsonObject().boolean("accept", true).str(), "A");
  });
  fake_->deliver(R"({"method":"Page.javascriptDialogOpening","sessionId":"A","params":{}})");
  const Sent sent = parse(fake_->waitForSent(1).at(0));
  EXPECT_EQ(sent.method, "Page.handleJavaScriptDialog");
  EXPECT_EQ(connection_->pendingCount(), 0u);  // its answer is not waited for
}

}  // namespace
}  // namespace vidralo::cdp
