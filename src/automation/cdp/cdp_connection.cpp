#include "automation/cdp/cdp_connection.h"

#include <algorithm>
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

// Picks the waiting command with this id out of the table.
auto withId(std::int64_t id) {
  return [id](const auto& entry) { return entry.first == id; };
}

CdpReply failure(std::string_view method, std::string_view what) {
  CdpReply reply;
  reply.error = "Protocol error (" + std::string(method) + "): " + std::string(what);
  return reply;
}

// {"params":{..},"method":..,"sessionId":..,"id":..}, written on in the
// parameters' own memory.
std::string commandText(std::int64_t id, std::string_view method, std::string params, std::string_view sessionId) {
  if (params.empty()) params = "{}";
  JsonObject command("params", std::move(params));
  command.text("method", method);
  if (!sessionId.empty()) command.text("sessionId", sessionId);
  return command.integer("id", id).str();
}

// An answer is parsed where it lies (its strings stay in the message, which
// the document keeps) into values that a typical answer fits beside it in
// the same allocation; a large one (a frame tree, a target list) takes
// further pieces of about its own size.
std::shared_ptr<rapidjson::Document> parseMessage(std::string text) {
  struct Parsed {
    explicit Parsed(std::string&& message)
        : text(std::move(message)), pool(values, sizeof values, text.size() + 1024), document(&pool, 256, &stack) {}
    std::string text;
    alignas(8) char values[768];
    rapidjson::MemoryPoolAllocator<> pool;
    rapidjson::CrtAllocator stack;
    rapidjson::Document document;
  };
  auto parsed = std::make_shared<Parsed>(std::move(text));
  parsed->document.ParseInsitu(parsed->text.data());
  return {parsed, &parsed->document};
}

}  // namespace

struct CdpConnection::Pending {
  std::string_view method;  // the caller's, alive while it waits
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

CdpReply CdpConnection::call(std::string_view method, std::string params, std::string_view sessionId,
                             std::chrono::milliseconds timeLimit) {
  const std::stop_token stop = currentStopToken();
  if (stop.stop_requested()) return failure(method, "abandoned, the caller was stopped");
  Pending pending{method};
  const std::int64_t id = send(method, std::move(params), sessionId, &pending);
  if (id == 0) return failure(method, "the connection is closed");

  transport_->await(
      [&] {
        std::lock_guard lock(mutex_);
        return pending.done;
      },
      std::chrono::steady_clock::now() + timeLimit, stop);
  return collect(pending, id, stop, timeLimit);
}

std::pair<CdpReply, CdpReply> CdpConnection::callTwo(Command first, Command second,
                                                     std::chrono::milliseconds timeLimit) {
  const std::stop_token stop = currentStopToken();
  if (stop.stop_requested())
    return {failure(first.method, "abandoned, the caller was stopped"),
            failure(second.method, "abandoned, the caller was stopped")};
  Pending one{first.method}, two{second.method};
  const std::int64_t firstId = send(first.method, std::move(first.params), first.sessionId, &one);
  const std::int64_t secondId = firstId ? send(second.method, std::move(second.params), second.sessionId, &two) : 0;
  if (secondId == 0) {
    std::lock_guard lock(mutex_);
    std::erase_if(pending_, withId(firstId));
    return {failure(first.method, "the connection is closed"), failure(second.method, "the connection is closed")};
  }
  transport_->await(
      [&] {
        std::lock_guard lock(mutex_);
        return one.done && two.done;
      },
      std::chrono::steady_clock::now() + timeLimit, stop);
  return {collect(one, firstId, stop, timeLimit), collect(two, secondId, stop, timeLimit)};
}

CdpReply CdpConnection::collect(Pending& pending, std::int64_t id, const std::stop_token& stop,
                                std::chrono::milliseconds timeLimit) {
  std::lock_guard lock(mutex_);
  if (!pending.done) {
    std::erase_if(pending_, withId(id));
    if (stop.stop_requested()) return failure(pending.method, "abandoned, the caller was stopped");
    CdpReply reply = failure(pending.method, "no answer within " + std::to_string(timeLimit.count()) + " ms");
    reply.timedOut = true;
    return reply;
  }
  return std::move(pending.reply);
}

void CdpConnection::post(std::string_view method, std::string params, std::string_view sessionId) {
  send(method, std::move(params), sessionId, nullptr);
}

std::int64_t CdpConnection::send(std::string_view method, std::string params, std::string_view sessionId,
                                 Pending* pending) {
  std::int64_t id = 0;
  {
    std::lock_guard lock(mutex_);
    if (!open_) return 0;
    id = nextId_++;
    if (pending) pending_.emplace_back(id, pending);
  }
  if (!transport_->send(commandText(id, method, std::move(params), sessionId))) {
    std::lock_guard lock(mutex_);
    std::erase_if(pending_, withId(id));
    return 0;
  }
  return id;
}

void CdpConnection::receive(std::string text) {
  std::shared_ptr<rapidjson::Document> message = parseMessage(std::move(text));
  if (message->HasParseError() || !message->IsObject()) return;

  if (const rapidjson::Value* id = member(*message, "id"); id && id->IsInt64()) {
    std::lock_guard lock(mutex_);
    const auto it = std::find_if(pending_.begin(), pending_.end(), withId(id->GetInt64()));
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
  {
    std::lock_guard lock(mutex_);
    if (!open_) return;
    open_ = false;
    for (auto& [id, pending] : pending_) {
      pending->reply = failure(pending->method, "the connection closed before the answer");
      pending->done = true;
    }
    pending_.clear();
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
