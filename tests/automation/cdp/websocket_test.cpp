// The WebSocket layer: frames both ways, and the socket transport against a
// small WebSocket server played by the test on loopback.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <future>
#include <mutex>
#include <thread>

#include "automation/cdp/cdp_connection.h"
#include "automation/cdp/cdp_json.h"
#include "automation/cdp/socket_transport.h"
#include "automation/cdp/websocket_frames.h"
#include "common/stop.h"

namespace vidralo::cdp {
namespace {

std::string serverFrame(WsOpcode opcode, std::string_view payload, bool fin = true) {
  std::string frame(1, static_cast<char>((fin ? 0x80 : 0) | static_cast<std::uint8_t>(opcode)));
  const std::uint64_t size = payload.size();
  if (size < 126) {
    frame.push_back(static_cast<char>(size));
  } else if (size <= 0xFFFF) {
    frame.push_back(126);
    frame.push_back(static_cast<char>(size >> 8));
    frame.push_back(static_cast<char>(size & 0xFF));
  } else {
    frame.push_back(127);
    for (int shift = 56; shift >= 0; shift -= 8) frame.push_back(static_cast<char>((size >> shift) & 0xFF));
  }
  return frame + std::string(payload);
}

std::vector<FrameReader::Item> readAll(FrameReader& reader) {
  std::vector<FrameReader::Item> items;
  while (auto item = reader.next()) items.push_back(std::move(*item));
  return items;
}

TEST(WebSocketFrames, TheHandshakeKeyFollowsTheStandardExample) {
  EXPECT_EQ(webSocketAccept("dGhlIHNhbXBsZSBub25jZQ=="), "s3pPLMBiTxaQ9kYGzzhZRbK+xOo=");
}

TEST(WebSocketFrames, ClientFramesAreMaskedAndSurviveEveryLengthForm) {
  const std::string frame = encodeClientFrame(WsOpcode::Text, "abc", {1, 2, 3, 4});
  EXPECT_EQ(frame, std::string("\x81\x83\x01\x02\x03\x04") + char('a' ^ 1) + char('b' ^ 2) + char('c' ^ 3));
  EXPECT_EQ(static_cast<std::uint8_t>(encodeClientFrame(WsOpcode::Text, std::string(126, 'x'), {}).at(1)), 0xFE);
  EXPECT_EQ(static_cast<std::uint8_t>(encodeClientFrame(WsOpcode::Text, std::string(65536, 'x'), {}).at(1)), 0xFF);

  for (std::size_t size : {0u, 125u, 126u, 65535u, 65536u, 200000u}) {
    std::string payload;
    for (std::size_t i = 0; i < size; ++i) payload.push_back(static_cast<char>(i * 31));
    FrameReader reader;
    reader.feed(encodeClientFrame(WsOpcode::Text, payload, {0xA1, 0xB2, 0xC3, 0xD4}));
    const auto items = readAll(reader);
    ASSERT_EQ(items.size(), 1u) << size;
    EXPECT_TRUE(items[0].payload == payload) << size;
  }
}

TEST(WebSocketFrames, MessagesArriveWholeHoweverTheBytesAreCut) {
  const std::string stream = serverFrame(WsOpcode::Text, "{\"id\":1}") + serverFrame(WsOpcode::Text, "part one, ", false) +
                             serverFrame(WsOpcode::Ping, "p") + serverFrame(WsOpcode::Continuation, "part two") +
                             serverFrame(WsOpcode::Text, std::string(70000, 'z'));
  FrameReader reader;
  std::vector<FrameReader::Item> items;
  for (char byte : stream) {  // one byte at a time: the worst a socket can do
    reader.feed(std::string_view(&byte, 1));
    for (auto& item : readAll(reader)) items.push_back(std::move(item));
  }
  ASSERT_EQ(items.size(), 4u);
  EXPECT_EQ(items[0].payload, "{\"id\":1}");
  EXPECT_EQ(items[1].opcode, WsOpcode::Ping);  // control frames may come between fragments
  EXPECT_EQ(items[2].payload, "part one, part two");
  EXPECT_EQ(items[3].payload.size(), 70000u);
  EXPECT_FALSE(reader.broken());
}

TEST(WebSocketFrames, ProtocolViolationsBreakTheStream) {
  FrameReader stray;
  stray.feed(serverFrame(WsOpcode::Continuation, "orphan"));
  EXPECT_FALSE(stray.next());
  EXPECT_TRUE(stray.broken());

  FrameReader reserved;
  reserved.feed(std::string("\xC1\x01x", 3));  // RSV1 without an agreed extension
  EXPECT_FALSE(reserved.next());
  EXPECT_TRUE(reserved.broken());

  FrameReader fragmentedPing;
  fragmentedPing.feed(serverFrame(WsOpcode::Ping, "p", false));
  EXPECT_FALSE(fragmentedPing.next());
  EXPECT_TRUE(fragmentedPing.broken());
}

// One WebSocket client at a time on 127.0.0.1. `answer` writes the
// handshake answer for a request that carried `key`.
class TinyServer {
 public:
  using Answer = std::function<std::string(const std::string& key)>;

  explicit TinyServer(Answer answer) {
    listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::listen(listener_, 1);
    socklen_t length = sizeof address;
    ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this, answer] {
      client_ = ::accept(listener_, nullptr, nullptr);
      std::string request;
      char byte;
      while (request.find("\r\n\r\n") == std::string::npos && ::read(client_, &byte, 1) == 1) request += byte;
      const std::size_t at = request.find("Sec-WebSocket-Key: ");
      const std::string key = at == std::string::npos ? "" : request.substr(at + 19, request.find("\r\n", at) - at - 19);
      write(answer(key));
      char chunk[65536];
      for (ssize_t got; (got = ::read(client_, chunk, sizeof chunk)) > 0;) {
        std::lock_guard lock(mutex_);
        frames_.feed(std::string_view(chunk, static_cast<std::size_t>(got)));
        while (auto item = frames_.next()) received_.push_back(std::move(*item));
        changed_.notify_all();
      }
    });
  }

  ~TinyServer() {
    ::shutdown(listener_, SHUT_RDWR);
    if (client_ >= 0) ::shutdown(client_, SHUT_RDWR);
    thread_.join();
    ::close(listener_);
    if (client_ >= 0) ::close(client_);
  }

  std::string url() const { return "ws://127.0.0.1:" + std::to_string(port_) + "/devtools/browser/x"; }
  void write(const std::string& bytes) { ::send(client_, bytes.data(), bytes.size(), MSG_NOSIGNAL); }
  void hangUp() { ::shutdown(client_, SHUT_RDWR); }

  // Frames received from the client once `count` are there.
  std::vector<FrameReader::Item> waitForFrames(std::size_t count) {
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, std::chrono::seconds(10), [&] { return received_.size() >= count; });
    return received_;
  }

  static std::string accepting(const std::string& key) {
    return "HTTP/1.1 101 WebSocket Protocol Handshake\r\nUpgrade: WebSocket\r\nConnection: Upgrade\r\n"
           "Sec-WebSocket-Accept: " + webSocketAccept(key) + "\r\n\r\n";
  }

 private:
  int listener_ = -1;
  std::atomic<int> client_{-1};
  int port_ = 0;
  std::thread thread_;
  std::mutex mutex_;
  std::condition_variable changed_;
  FrameReader frames_;
  std::vector<FrameReader::Item> received_;
};

// What a started transport handed on.
struct Delivered {
  std::mutex mutex;
  std::condition_variable changed;
  std::vector<std::string> messages;
  int closed = 0;

  CdpTransport::Handlers handlers() {
    return {[this](std::string message) {
              std::lock_guard lock(mutex);
              messages.push_back(std::move(message));
              changed.notify_all();
            },
            [this] {
              std::lock_guard lock(mutex);
              ++closed;
              changed.notify_all();
            }};
  }
  bool waitFor(const std::function<bool()>& condition) {
    std::unique_lock lock(mutex);
    return changed.wait_for(lock, std::chrono::seconds(10), condition);
  }
};

TEST(SocketTransport, CarriesMessagesBothWaysAndAnswersPings) {
  TinyServer server([](const std::string& key) {
    // The first frame travels in the same packet as the handshake answer.
    return TinyServer::accepting(key) + serverFrame(WsOpcode::Text, "{\"early\":true}");
  });
  std::string error;
  auto transport = SocketTransport::open(server.url(), std::chrono::seconds(5), error);
  ASSERT_TRUE(transport) << error;
  Delivered delivered;
  transport->start(delivered.handlers());

  const std::string big(100000, 'q');
  EXPECT_TRUE(transport->send("{\"id\":1}"));
  EXPECT_TRUE(transport->send(big));
  server.write(serverFrame(WsOpcode::Ping, "are you there"));
  server.write(serverFrame(WsOpcode::Text, "视频拖拽"));

  const auto frames = server.waitForFrames(3);
  ASSERT_EQ(frames.size(), 3u);
  EXPECT_EQ(frames[0].payload, "{\"id\":1}");
  EXPECT_TRUE(frames[1].payload == big);
  EXPECT_EQ(frames[2].opcode, WsOpcode::Pong);
  EXPECT_EQ(frames[2].payload, "are you there");
  ASSERT_TRUE(delivered.waitFor([&] { return delivered.messages.size() == 2; }));
  EXPECT_EQ(delivered.messages[0], "{\"early\":true}");
  EXPECT_EQ(delivered.messages[1], "视频拖拽");

  server.hangUp();
  EXPECT_TRUE(delivered.waitFor([&] { return delivered.closed == 1; }));
  EXPECT_FALSE(transport->send("{\"id\":2}"));
  transport->close();
  transport.reset();
  EXPECT_EQ(delivered.closed, 1);  // reported once
}

TEST(SocketTransport, ClosingFromOurSideEndsTheReader) {
  TinyServer server(&TinyServer::accepting);
  std::string error;
  auto transport = SocketTransport::open(server.url(), std::chrono::seconds(5), error);
  ASSERT_TRUE(transport) << error;
  Delivered delivered;
  transport->start(delivered.handlers());
  transport->close();
  EXPECT_TRUE(delivered.waitFor([&] { return delivered.closed == 1; }));
}

TEST(SocketTransport, AWrongHandshakeAnswerIsRefused) {
  TinyServer wrongKey([](const std::string&) {
    return "HTTP/1.1 101 Switching Protocols\r\nSec-WebSocket-Accept: bm90IHRoZSBrZXk=\r\n\r\n";
  });
  std::string error;
  EXPECT_FALSE(SocketTransport::open(wrongKey.url(), std::chrono::seconds(5), error));
  EXPECT_NE(error.find("does not match"), std::string::npos);

  TinyServer notFound([](const std::string&) { return std::string("HTTP/1.1 404 Not Found\r\n\r\n"); });
  error.clear();
  EXPECT_FALSE(SocketTransport::open(notFound.url(), std::chrono::seconds(5), error));
  EXPECT_NE(error.find("404"), std::string::npos);
}

TEST(SocketTransport, ASilentServerOrAStopEndsTheHandshake) {
  TinyServer silent([](const std::string&) { return std::string(); });
  std::string error;
  EXPECT_FALSE(SocketTransport::open(silent.url(), std::chrono::milliseconds(100), error));
  EXPECT_NE(error.find("within time"), std::string::npos);

  TinyServer stillSilent([](const std::string&) { return std::string(); });
  std::stop_source stop;
  stop.request_stop();
  StopScope scope(stop.get_token());
  error.clear();
  EXPECT_FALSE(SocketTransport::open(stillSilent.url(), std::chrono::hours(1), error));
  EXPECT_NE(error.find("stopped"), std::string::npos);

  EXPECT_FALSE(SocketTransport::open("http://127.0.0.1:1/x", std::chrono::seconds(1), error));
}

// A caller that finds the socket free reads it itself while it waits; the
// reader thread reads when none waits. Whoever reads delivers everything,
// in order.
TEST(SocketTransport, WhoeverReadsDeliversEverythingAndEveryWaitEndsItsOwnWay) {
  TinyServer server(&TinyServer::accepting);
  std::string error;
  auto transport = SocketTransport::open(server.url(), std::chrono::seconds(5), error);
  ASSERT_TRUE(transport) << error;
  CdpConnection connection(std::move(transport));
  std::mutex mutex;
  std::condition_variable changed;
  std::vector<std::string> events;
  connection.subscribe("S", [&](const CdpEvent& event) {
    std::lock_guard lock(mutex);
    events.emplace_back(event.method);
    changed.notify_all();
  });
  const auto eventCame = [&](std::size_t count) {
    std::unique_lock lock(mutex);
    return changed.wait_for(lock, std::chrono::seconds(10), [&] { return events.size() >= count; });
  };
  const auto idOf = [](const FrameReader::Item& frame) {
    rapidjson::Document command;
    command.Parse(frame.payload.c_str());
    return integerMember(command, "id");
  };
  const auto answer = [&](std::int64_t id, const std::string& value) {
    server.write(serverFrame(WsOpcode::Text, "{\"id\":" + std::to_string(id) + ",\"result\":{\"v\":\"" + value + "\"}}"));
  };
  const auto event = [&](const char* method) {
    server.write(serverFrame(WsOpcode::Text, std::string("{\"method\":\"") + method + "\",\"sessionId\":\"S\",\"params\":{}}"));
  };
  const auto call = [&](std::stop_token stop = {}) {
    return std::async(std::launch::async, [&connection, stop] {
      StopScope scope(stop);
      return connection.call("Runtime.evaluate", "{}", "S", std::chrono::hours(1));
    });
  };

  const auto ready = [](auto& future) { return future.wait_for(std::chrono::seconds(10)) == std::future_status::ready; };

  // An event that comes while a caller waits reaches its handler; the stop
  // of the caller ends its wait at once, also while it is reading.
  std::stop_source stop;
  auto stopped = call(stop.get_token());
  server.waitForFrames(1);
  event("Page.javascriptDialogOpening");
  EXPECT_TRUE(eventCame(1));
  std::this_thread::sleep_for(std::chrono::milliseconds(50));  // back to reading
  stop.request_stop();
  ASSERT_TRUE(ready(stopped));
  EXPECT_FALSE(stopped.get().ok);

  // Two callers at once: the later one is answered first, while the earlier
  // one still waits (and reads), and each gets its own answer.
  auto first = call();
  const std::int64_t firstId = idOf(server.waitForFrames(2).at(1));
  auto second = call();
  const std::int64_t secondId = idOf(server.waitForFrames(3).at(2));
  answer(secondId, "second");
  ASSERT_TRUE(ready(second));
  EXPECT_EQ(stringMember(second.get().result(), "v"), "second");
  event("Page.frameAttached");
  EXPECT_TRUE(eventCame(2));
  answer(firstId, "first");
  ASSERT_TRUE(ready(first));
  EXPECT_EQ(stringMember(first.get().result(), "v"), "first");

  // Nobody waits: the reader thread delivers.
  event("Page.fileChooserOpened");
  EXPECT_TRUE(eventCame(3));

  // The browser goes away while a caller waits: the call fails at once.
  auto orphan = call();
  server.waitForFrames(4);
  server.hangUp();
  ASSERT_TRUE(ready(orphan));
  EXPECT_NE(orphan.get().error.find("closed before the answer"), std::string::npos);
  EXPECT_FALSE(connection.isOpen());
  std::lock_guard lock(mutex);
  EXPECT_EQ(events, (std::vector<std::string>{"Page.javascriptDialogOpening", "Page.frameAttached",
                                              "Page.fileChooserOpened"}));
}

}  // namespace
}  // namespace vidralo::cdp
