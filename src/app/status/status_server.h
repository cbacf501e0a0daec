#pragma once
// The status page's HTTP server (cpp-httplib) on threads of its own. It only
// reads: the controls through a snapshot that one thread of its own takes
// once a second while someone asks, the history database read-only, and files
// inside logs/failures. It never waits on the job, the engine or the window.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <string>
#include <thread>

#include "app/runtime/watcher.h"
#include "app/status/status_listen.h"
#include "app/status/status_snapshot.h"

namespace httplib {
class Server;
struct Request;
struct Response;
}  // namespace httplib

namespace vidralo {

// What the controls do not tell: asked once per snapshot; must not block.
struct RunProbe {
  std::function<bool()> jobRunning;
  std::function<int()> browsersRunning;
};

class StatusServer {
 public:
  // Binds `listen` (port 0: any free port) without answering yet; nothing,
  // with `error` set, when the address cannot be bound.
  static std::unique_ptr<StatusServer> bind(const StatusListen& listen, std::string& error);
  // Stops answering and joins the server's threads.
  ~StatusServer();
  StatusServer(const StatusServer&) = delete;
  StatusServer& operator=(const StatusServer&) = delete;

  // Starts answering from these sources (503 before). Answers stop using
  // them when the handle is destroyed; destroy it before the controls.
  std::unique_ptr<WatchHandle> watch(const ControlModel& controls, RunProbe probe);
  int port() const { return port_; }

 private:
  struct Cached;
  class Watch;

  StatusServer(std::unique_ptr<httplib::Server> server, std::string token, int port);
  void route();
  bool authorized(const httplib::Request& request) const;
  void unwatch();
  // The newest snapshot; the first request waits for it. Null while nothing
  // is watched.
  std::shared_ptr<const Cached> snapshot();
  // The refresher: takes a snapshot a second after the last while requests
  // come, and sleeps when none came for a while.
  void refresh();
  std::shared_ptr<const Cached> take();
  void serveStatus(const httplib::Request& request, httplib::Response& response);
  void serveMetrics(httplib::Response& response);
  void serveHistory(const httplib::Request& request, httplib::Response& response);
  void serveFile(const std::string& folder, const std::string& name, httplib::Response& response);

  std::unique_ptr<httplib::Server> server_;
  const std::string token_;
  const int port_;
  std::thread listening_;
  std::atomic<bool> listenEnded_{false};
  std::thread refreshing_;

  mutable std::shared_mutex sourcesMutex_;
  const ControlModel* controls_ = nullptr;
  RunProbe probe_;

  std::mutex cacheMutex_;
  std::condition_variable wanted_;  // a request came, or the server stops
  std::condition_variable taken_;   // a snapshot was taken
  std::chrono::steady_clock::time_point lastAsked_{};
  bool stopping_ = false;
  std::shared_ptr<const Cached> cached_;
};

}  // namespace vidralo
