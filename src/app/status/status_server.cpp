#include "app/status/status_server.h"

#include <httplib.h>
#include <malloc.h>
#include <sys/socket.h>

#include <chrono>

#include "app/status/status_json.h"
#include "app/status/status_metrics.h"
#include "app/status/status_page.h"
#include "app/status/served_file.h"
#include "history/history_facts.h"
#include "history/history_store.h"
#include "common/clock.h"
#include "common/gzip.h"
#include "common/program_dir.h"

namespace vidralo {
namespace {

// A phone or fifty scrapers never hold a thread between requests: every
// answer closes its connection, so four threads go round quickly.
constexpr std::size_t kThreads = 4;
constexpr int kBacklog = 128;
constexpr auto kSnapshotAge = std::chrono::seconds(1);
// No snapshots are taken once nobody asked for this long.
constexpr auto kIdleAfter = std::chrono::seconds(10);
constexpr auto kFirstSnapshotWait = std::chrono::seconds(5);
constexpr int kHistoryLimit = 1000;
constexpr const char* kPlainText = "text/plain; charset=utf-8";

// Compares without stopping at the first difference, so timing tells nothing
// about the token.
bool sameText(const std::string& a, const std::string& b) {
  unsigned char difference = a.size() == b.size() ? 0 : 1;
  for (std::size_t i = 0; i < a.size(); ++i) difference |= a[i] ^ (i < b.size() ? b[i] : 0);
  return difference == 0;
}

void unavailable(httplib::Response& response) {
  response.status = 503;
  response.set_content("状态尚未就绪\n", kPlainText);
}

}  // namespace

struct StatusServer::Cached {
  MetricsFacts metrics;
  std::string json;
  std::string gzippedJson;  // packed once here, not per request
  std::chrono::steady_clock::time_point takenAt;
};

class StatusServer::Watch final : public WatchHandle {
 public:
  explicit Watch(StatusServer& server) : server_(server) {}
  ~Watch() override { server_.unwatch(); }

 private:
  StatusServer& server_;
};

std::unique_ptr<StatusServer> StatusServer::bind(const StatusListen& listen, std::string& error) {
  auto server = std::make_unique<httplib::Server>();
  // SO_REUSEADDR only: httplib's default adds SO_REUSEPORT, with which a
  // second instance configured on the same port would share it silently
  // instead of being refused.
  int listening = -1;
  server->set_socket_options([&listening](int socket) {
    const int yes = 1;
    setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    listening = socket;
  });
  int port = listen.port;
  if (port == 0)
    port = server->bind_to_any_port(listen.host);
  else if (!server->bind_to_port(listen.host, port))
    port = -1;
  if (port <= 0) {
    error = "状态页无法在 " + listen.host + ":" + std::to_string(listen.port) + " 上监听（地址不属于本机，或端口已被占用）";
    return nullptr;
  }
  // httplib listens with a backlog of 5; fifty clients connecting at once
  // would see dropped SYNs and a second's retry. Listening again only
  // enlarges the queue.
  ::listen(listening, kBacklog);
  return std::unique_ptr<StatusServer>(new StatusServer(std::move(server), listen.token, port));
}

StatusServer::StatusServer(std::unique_ptr<httplib::Server> server, std::string token, int port)
    : server_(std::move(server)), token_(std::move(token)), port_(port) {
  server_->new_task_queue = [] { return new httplib::ThreadPool(kThreads); };
  server_->set_keep_alive_max_count(1);
  server_->set_read_timeout(5, 0);
  server_->set_write_timeout(5, 0);
  server_->set_payload_max_length(4096);
  route();
}

StatusServer::~StatusServer() {
  if (listening_.joinable()) {
    // httplib's stop() does nothing before its loop runs, and the loop would
    // then never end: wait until it runs (or gave up at once).
    while (!server_->is_running() && !listenEnded_) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    server_->stop();
    listening_.join();
  }
  {
    std::lock_guard lock(cacheMutex_);
    stopping_ = true;
  }
  wanted_.notify_all();
  if (refreshing_.joinable()) refreshing_.join();
}

std::unique_ptr<WatchHandle> StatusServer::watch(const ControlModel& controls, RunProbe probe) {
  {
    std::unique_lock lock(sourcesMutex_);
    controls_ = &controls;
    probe_ = std::move(probe);
  }
  wanted_.notify_all();
  if (!refreshing_.joinable()) refreshing_ = std::thread([this] { refresh(); });
  if (!listening_.joinable())
    listening_ = std::thread([this] {
      server_->listen_after_bind();
      listenEnded_ = true;
    });
  return std::make_unique<Watch>(*this);
}

void StatusServer::unwatch() {
  std::unique_lock lock(sourcesMutex_);  // waits for a snapshot being taken
  controls_ = nullptr;
  probe_ = {};
}

bool StatusServer::authorized(const httplib::Request& request) const {
  return sameText(request.get_header_value("Authorization"), "Bearer " + token_);
}

std::shared_ptr<const StatusServer::Cached> StatusServer::snapshot() {
  std::unique_lock lock(cacheMutex_);
  lastAsked_ = std::chrono::steady_clock::now();
  wanted_.notify_one();
  taken_.wait_for(lock, kFirstSnapshotWait, [this] { return cached_ || stopping_; });
  return cached_;
}

void StatusServer::refresh() {
  std::unique_lock lock(cacheMutex_);
  while (!stopping_) {
    const auto now = std::chrono::steady_clock::now();
    if (now - lastAsked_ >= kIdleAfter) {
      wanted_.wait(lock);
      continue;
    }
    if (cached_ && now - cached_->takenAt < kSnapshotAge) {
      wanted_.wait_until(lock, cached_->takenAt + kSnapshotAge);
      continue;
    }
    lock.unlock();
    std::shared_ptr<const Cached> fresh = take();
    lock.lock();
    if (!fresh) {
      wanted_.wait(lock);  // nothing is watched; watch() wakes it
      continue;
    }
    cached_ = std::move(fresh);
    taken_.notify_all();
    // The last snapshot's buffers went back to this thread's heap; hand
    // them to the system, or the page keeps a few megabytes it no longer uses.
    lock.unlock();
    malloc_trim(0);
    lock.lock();
  }
}

std::shared_ptr<const StatusServer::Cached> StatusServer::take() {
  auto fresh = std::make_shared<Cached>();
  StatusSnapshot snapshot;
  {
    std::shared_lock sources(sourcesMutex_);
    if (!controls_) return nullptr;
    snapshot = takeSnapshot({*controls_, probe_.jobRunning(), probe_.browsersRunning(), historyDatabasePath(),
                             programPath("\\logs")},
                            std::chrono::system_clock::to_time_t(appClock().wallNow()));
  }
  fresh->json = statusJson(snapshot);
  fresh->metrics = metricsFacts(snapshot);
  fresh->gzippedJson = gzipped(fresh->json);
  fresh->takenAt = std::chrono::steady_clock::now();
  return fresh;
}

void StatusServer::route() {
  server_->set_pre_routing_handler([this](const httplib::Request& request, httplib::Response& response) {
    response.set_header("Cache-Control", "no-store");
    response.set_header("X-Content-Type-Options", "nosniff");
    if (token_.empty() || authorized(request)) return httplib::Server::HandlerResponse::Unhandled;
    response.status = 401;
    response.set_header("WWW-Authenticate", "Bearer");
    response.set_content("需要口令：Authorization: Bearer TOKEN\n", kPlainText);
    return httplib::Server::HandlerResponse::Handled;
  });
  server_->Get("/", [](const httplib::Request&, httplib::Response& response) {
    const std::string_view page = statusPageHtml();
    response.set_header("Content-Security-Policy",
                        "default-src 'self'; script-src 'unsafe-inline'; style-src 'unsafe-inline'; img-src 'self'");
    response.set_content(page.data(), page.size(), "text/html; charset=utf-8");
  });
  server_->Get("/api/status",
               [this](const httplib::Request& request, httplib::Response& response) { serveStatus(request, response); });
  server_->Get("/api/history", [this](const httplib::Request& request, httplib::Response& response) {
    serveHistory(request, response);
  });
  server_->Get("/metrics", [this](const httplib::Request&, httplib::Response& response) { serveMetrics(response); });
  server_->Get(R"(/evidence/([^/]+))", [this](const httplib::Request& request, httplib::Response& response) {
    serveFile(programPath("\\logs\\failures"), request.matches[1], response);
  });
  server_->Get(R"(/login-picture/([^/]+))", [this](const httplib::Request& request, httplib::Response& response) {
    serveFile(programPath("\\logs"), "login-" + std::string(request.matches[1]) + ".png", response);
  });
}

void StatusServer::serveStatus(const httplib::Request& request, httplib::Response& response) {
  std::shared_ptr<const Cached> cached = snapshot();
  if (!cached) return unavailable(response);
  const bool packed = request.get_header_value("Accept-Encoding").find("gzip") != std::string::npos;
  const std::string& body = packed ? cached->gzippedJson : cached->json;
  if (packed) response.set_header("Content-Encoding", "gzip");
  response.set_header("Vary", "Accept-Encoding");
  // Sent from the shared snapshot itself: fifty clients cost no copies.
  response.set_content_provider(
      body.size(), "application/json",
      [cached = std::move(cached), &body](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
        return sink.write(body.data() + offset, length);
      });
}

void StatusServer::serveMetrics(httplib::Response& response) {
  const std::shared_ptr<const Cached> cached = snapshot();
  if (!cached) return unavailable(response);
  response.set_content(metricsText(cached->metrics), "text/plain; version=0.0.4; charset=utf-8");
}

void StatusServer::serveHistory(const httplib::Request& request, httplib::Response& response) {
  const std::vector<HistoryRow> rows =
      readNewestHistory(historyDatabasePath(), request.get_param_value("account"), request.get_param_value("since"),
                  kHistoryLimit);
  response.set_content(historyJson(rows), "application/json");
}

void StatusServer::serveFile(const std::string& folder, const std::string& name, httplib::Response& response) {
  const std::optional<ServedFile> file = readFileInside(folder, name);
  if (!file) {
    response.status = 404;
    response.set_content("没有这个文件\n", kPlainText);
    return;
  }
  response.set_content(file->content, file->contentType);
}

}  // namespace vidralo
