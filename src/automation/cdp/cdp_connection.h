#pragma once
// One DevTools connection: numbered commands with their own time limits,
// answers matched to their callers, events routed by target session.
//
// Every command waits on its caller's thread and ends in one of four ways:
// the browser answers, the command's time limit passes, the calling
// thread's stop is requested, or the connection closes (which fails every
// pending command at once). Nothing ever waits for a dead browser.
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <stop_token>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <rapidjson/document.h>

#include "automation/cdp/cdp_transport.h"

namespace vidralo::cdp {

struct CdpReply {
  bool ok = false;
  // No answer came within the command's time limit.
  bool timedOut = false;
  // "Protocol error (Method): what went wrong" when !ok.
  std::string error;
  // The whole answer message; result() is its "result" member.
  std::shared_ptr<rapidjson::Document> message;

  const rapidjson::Value& result() const;
};

struct CdpEvent {
  std::string_view method;
  std::string_view sessionId;  // empty for browser-level events
  const rapidjson::Value& params;
};

class CdpConnection {
 public:
  using EventHandler = std::function<void(const CdpEvent&)>;

  static constexpr std::chrono::milliseconds kDefaultTimeLimit{30000};
  // Parameters written with this much room to spare become their command
  // where they lie (the id, method and session around them, the frame's
  // header in front), without another copy.
  static constexpr std::size_t kCommandRoom = 160;

  // Starts reading at once. `onClosed` runs once, on the thread that read
  // the end of the pipe, after every pending command has been failed.
  explicit CdpConnection(std::unique_ptr<CdpTransport> transport, std::function<void()> onClosed = {});
  ~CdpConnection();
  CdpConnection(const CdpConnection&) = delete;
  CdpConnection& operator=(const CdpConnection&) = delete;

  // Sends one command and waits for its answer. `params` is a JSON object
  // text; `sessionId` addresses an attached target (empty: the browser).
  CdpReply call(std::string_view method, std::string params = "{}", std::string_view sessionId = {},
                std::chrono::milliseconds timeLimit = kDefaultTimeLimit);

  struct Command {
    std::string_view method;
    std::string params = "{}";
    std::string_view sessionId;
  };
  // Sends two commands back to back and waits for both answers: the second
  // does not wait a round trip for the first. The browser runs a session's
  // commands in the order they came.
  std::pair<CdpReply, CdpReply> callTwo(Command first, Command second,
                                        std::chrono::milliseconds timeLimit = kDefaultTimeLimit);

  // Sends one command without waiting; its answer is dropped. Meant for event
  // handlers, which must never wait for the browser themselves.
  void post(std::string_view method, std::string params = "{}", std::string_view sessionId = {});

  // Handlers run on the thread reading the pipe (the transport's, or a
  // caller waiting for its answer) and must return quickly, take no lock a
  // caller may hold, and never wait for the browser. Events of `sessionId`
  // only (empty: browser-level events). Returns a token for unsubscribe.
  int subscribe(std::string sessionId, EventHandler handler);
  void unsubscribe(int token);

  bool isOpen() const;
  // Closes the connection; pending commands fail at once.
  void close();

  // Commands still waiting for their answers (for tests and diagnostics).
  std::size_t pendingCount() const;

 private:
  struct Pending;
  struct Subscription {
    std::string sessionId;
    std::shared_ptr<EventHandler> handler;
  };

  std::int64_t send(std::string_view method, std::string params, std::string_view sessionId, Pending* pending);
  // The answer of the command `id` that `pending` waited for, or why there is
  // none: its time limit passed, or the caller was stopped.
  CdpReply collect(Pending& pending, std::int64_t id, const std::stop_token& stop,
                   std::chrono::milliseconds timeLimit);
  void receive(std::string message);
  void closed();
  void dispatch(const CdpEvent& event);

  std::unique_ptr<CdpTransport> transport_;
  std::function<void()> onClosed_;
  mutable std::mutex mutex_;
  bool open_ = true;
  std::int64_t nextId_ = 1;
  // The commands waiting for their answers, each owned by its caller's
  // call(), which takes it out again before it returns. Few at a time.
  std::vector<std::pair<std::int64_t, Pending*>> pending_;
  int nextToken_ = 1;
  std::map<int, Subscription> subscriptions_;
};

}  // namespace vidralo::cdp
