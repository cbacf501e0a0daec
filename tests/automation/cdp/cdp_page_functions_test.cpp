// How a page runs its kept scripts, seen on the wire of a fake browser.
#include <gtest/gtest.h>

#include <future>

#include "automation/cdp/cdp_json.h"
#include "automation/cdp/cdp_page.h"
#include "fake_transport.h"

namespace vidralo::cdp {
namespace {

using namespace std::chrono_literals;

struct Sent {
  std::int64_t id = 0;
  std::string method, expression, objectId;
};

class PageFunctionsTest : public ::testing::Test {
 protected:
  PageFunctionsTest() {
    auto transport = std::make_unique<test::FakeTransport>();
    fake_ = transport.get();
    connection_ = std::make_unique<CdpConnection>(std::move(transport));
    page_ = std::make_unique<CdpPage>(*connection_, "S", 10s, [this](const std::string& line) { log_.push_back(line); });
    sentBefore_ = fake_->waitForSent(2).size();  // the page's own set-up
  }

  std::future<std::string> read() {
    return std::async(std::launch::async, [this] { return page_->elementText("p"); });
  }

  // The next `count` commands sent.
  std::vector<Sent> next(std::size_t count) {
    const std::vector<std::string> all = fake_->waitForSent(sentBefore_ + count);
    std::vector<Sent> sent;
    for (std::size_t i = sentBefore_; i < all.size(); ++i) {
      rapidjson::Document message;
      message.Parse(all[i].c_str());
      const rapidjson::Value& params = *member(message, "params");
      sent.push_back({integerMember(message, "id"), stringMember(message, "method"),
                      stringMember(params, "expression"), stringMember(params, "objectId")});
    }
    sentBefore_ = all.size();
    return sent;
  }

  void answer(std::int64_t id, const std::string& result) {
    fake_->deliver("{\"id\":" + std::to_string(id) + ",\"result\":{\"result\":" + result + "}}");
  }

  // Expects the script to be run as it is; answers it with `text`.
  std::string runPlain(std::future<std::string>& reading, const std::string& text) {
    const Sent sent = next(1).at(0);
    EXPECT_EQ(sent.method, "Runtime.evaluate");
    EXPECT_FALSE(sent.expression.starts_with("() =>"));
    answer(sent.id, R"({"type":"string","value":")" + text + "\"}");
    return reading.get();
  }

  // Expects the script to be run and made a function (`objectId`) in one go;
  // answers it with `text`, which the read then gives.
  std::string runAndMake(std::future<std::string>& reading, const std::string& objectId, const std::string& text) {
    const std::vector<Sent> sent = next(2);
    if (sent.size() != 2) return "(not sent)";
    EXPECT_EQ(sent[0].expression, "() => " + sent[1].expression);
    answer(sent[0].id, R"({"type":"function","objectId":")" + objectId + "\"}");
    answer(sent[1].id, R"({"type":"string","value":")" + text + "\"}");
    return reading.get();
  }

  test::FakeTransport* fake_;
  std::unique_ptr<CdpConnection> connection_;
  std::vector<std::string> log_;
  std::unique_ptr<CdpPage> page_;
  std::size_t sentBefore_ = 0;
};

TEST_F(PageFunctionsTest, AScriptThatRunsAgainInADocumentIsCalledAsAFunctionUntilTheDocumentGoes) {
  // A script's first run in a document is just that; the second also makes
  // it a function, in the same round trip.
  auto reading = read();
  EXPECT_EQ(runPlain(reading, "one"), "one");
  reading = read();
  EXPECT_EQ(runAndMake(reading, "fn-1", "two"), "two");

  // Then a call of it.
  reading = read();
  const Sent call = next(1).at(0);
  EXPECT_EQ(call.method, "Runtime.callFunctionOn");
  EXPECT_EQ(call.objectId, "fn-1");
  answer(call.id, R"({"type":"string","value":"three"})");
  EXPECT_EQ(reading.get(), "three");

  // A function whose document went: the script runs in the new one, without
  // a word in the log.
  reading = read();
  fake_->deliver("{\"id\":" + std::to_string(next(1).at(0).id) +
                 ",\"error\":{\"code\":-32000,\"message\":\"Could not find object with given id\"}}");
  EXPECT_EQ(runPlain(reading, "four"), "four");
  EXPECT_TRUE(log_.empty()) << log_.front();
  reading = read();
  EXPECT_EQ(runAndMake(reading, "fn-2", "five"), "five");

  // A navigation forgets the session's functions before any call fails.
  fake_->deliver(R"({"method":"Page.frameNavigated","sessionId":"S","params":{"frame":{"id":"F"}}})");
  reading = read();
  EXPECT_EQ(runPlain(reading, "six"), "six");
}

}  // namespace
}  // namespace vidralo::cdp
