#include "automation/cdp/cdp_connection.h"

#include <utility>
#include <vector>

#include "automation/cdp/cdp_json.h"
#include "common/stop.h"

namespace vidralo::cdp {
namespace {

const rapidjson::Value& nullValue() {
  static const rapidjson::Value value;
  return value;
}

CdpReply failure(std::string_view method, std::string_view what) {
  CdpReply reply;
  reply.error = "Protocol error (" + std::string(method) + "): " + std::string(what);
  return reply;
}

std::string commandText(std::int64_t id, std::string_view method, std::string_view params,
                        std::string_view sessionId) {
  JsonObject message(params.size() + method.size() + sessionId.size() + 64);
  message.integer("id", id).text("method", method).raw("params", params.empty() ? "{}" : params);
  if (!sessionId.empty()) message.text("sessionId", sessionId);
  return message.str();
}

// The document's memory comes in pieces about the size of the message (its
// strings are copied, and a few members fit in the rest): the parser's own
// 64 KiB would be taken and given back for every answer of a few hundred
// bytes, and held as long as its reply is.
std::shared_ptr<rapidjson::Document> parseMessage(const std::string& text) {
  struct Parsed {
    explicit Parsed(std::size_t pieceBytes) : pool(pieceBytes), document(&pool) {}
    rapidjson::MemoryPoolAllocator<> pool;
    rapidjson::Document document;
  };
  auto parsed = std::make_shared<Parsed>(text.size() + 1024);
  parsed->document.Parse(text.data(), text.size());
  return {parsed, &parsed->document};
}

}  // namespace

struct CdpConnection::Pending {
  std::string method;
  bool done = false;
  CdpReply reply;
};

const rapidjson::Value& CdpReply::result() const {
  if (!message) return nullValue();
  const rapidjson::Value* result = member(*message, "result");
  return result ? *result : nullValue();
}

CdpConnection::CdpConnection(std::unique_ptr<CdpTransport> transport, std::function<void()> onClosed)
    : transport_(std::move(transport)), onClosed_(std::move(onClosed)) {
  transport_->start({[this](std::string message) { receive(std::move(message)); }, [this] { closed(); }});
}

CdpConnection::~CdpConnection() {
  close();
  transport_.reset();  // its thread ends here, so no handler runs after this
}

CdpReply CdpConnection::call(std::string_view method, std::string_view params, std::string_view sessionId,
                             std::chrono::milliseconds timeLimit) {
  const std::stop_token stop = currentStopToken();
  if (stop.stop_requested()) return failure(method, "abandoned, the caller was stopped");
  auto pending = std::make_shared<Pending>();
  pending->method = method;
  const std::int64_t id = send(method, params, sessionId, pending);
  if (id == 0) return failure(method, "the connection is closed");

  transport_->await(
      [&] {
        std::lock_guard lock(mutex_);
        return pending->done;
      },
      std::chrono::steady_clock::now() + timeLimit, stop);
  std::lock_guard lock(mutex_);
  if (!pending->done) {
    pending_.erase(id);
    if (stop.stop_requested()) return failure(method, "abandoned, the caller was stopped");
    CdpReply reply = failure(method, "no answer within " + std::to_string(timeLimit.count()) + " ms");
    reply.timedOut = true;
    return reply;
  }
  return std::move(pending->reply);
}

void CdpConnection::post(std::string_view method, std::string_view params, std::string_view sessionId) {
  send(method, params, sessionId, nullptr);
}

std::int64_t CdpConnection::send(std::string_view method, std::string_view params, std::string_view sessionId,
                                 std::shared_ptr<Pending> pending) {
  std::int64_t id = 0;
  {
    std::lock_guard lock(mutex_);
    if (!open_) return 0;
    id = nextId_++;
    if (pending) pending_.emplace(id, std::move(pending));
  }
  if (!transport_->send(commandText(id, method, params, sessionId))) {
    std::lock_guard lock(mutex_);
    pending_.erase(id);
    return 0;
  }
  return id;
}

void CdpConnection::receive(std::string text) {
  std::shared_ptr<rapidjson::Document> message = parseMessage(text);
  if (message->HasParseError() || !message->IsObject()) return;

  if (const rapidjson::Value* id = member(*message, "id"); id && id->IsInt64()) {
    std::lock_guard lock(mutex_);
    auto it = pending_.find(id->GetInt64());
    if (it == pending_.end()) return;  // posted, timed out or abandoned
    Pending& pending = *it->second;
    if (const rapidjson::Value* error = member(*message, "error")) {
      std::string what = stringMember(*error, "message");
      if (const std::string data = stringMember(*error, "data"); !data.empty()) what += " (" + data + ")";
      pending.reply = failure(pending.method, what);
    } else {
      pending.reply.ok = true;
    }
    pending.reply.message = std::move(message);
    pending.done = true;
    pending_.erase(it);
    return;
  }

  const std::string method = stringMember(*message, "method");
  if (method.empty()) return;
  const std::string sessionId = stringMember(*message, "sessionId");
  const rapidjson::Value* params = member(*message, "params");
  dispatch(CdpEvent{method, sessionId, params ? *params : nullValue()});
}

void CdpConnection::dispatch(const CdpEvent& event) {
  std::vector<std::shared_ptr<EventHandler>> handlers;
  {
    std::lock_guard lock(mutex_);
    for (const auto& [token, subscription] : subscriptions_)
      if (subscription.sessionId == event.sessionId) handlers.push_back(subscription.handler);
  }
  for (const auto& handler : handlers) (*handler)(event);
}

void CdpConnection::closed() {
  std::map<std::int64_t, std::shared_ptr<Pending>> failed;
  {
    std::lock_guard lock(mutex_);
    if (!open_) return;
    open_ = false;
    failed.swap(pending_);
    for (auto& [id, pending] : failed) {
      pending->reply = failure(pending->method, "the connection closed before the answer");
      pending->done = true;
    }
  }
  if (onClosed_) onClosed_();
}

int CdpConnection::subscribe(std::string sessionId, EventHandler handler) {
  std::lock_guard lock(mutex_);
  const int token = nextToken_++;
  subscriptions_.emplace(token, Subscription{std::move(sessionId), std::make_shared<EventHandler>(std::move(handler))});
  return token;
}

void CdpConnection::unsubscribe(int token) {
  std::lock_guard lock(mutex_);
  subscriptions_.erase(token);
}

bool CdpConnection::isOpen() const {
  std::lock_guard lock(mutex_);
  return open_;
}

void CdpConnection::close() {
  transport_->close();
  closed();  // in case the transport was already gone and says nothing more
}

std::size_t CdpConnection::pendingCount() const {
  std::lock_guard lock(mutex_);
  return pending_.size();
}

}  // namespace vidralo::cdp
