#pragma once
// An httplib server on 127.0.0.1 running its accept loop on a thread of its
// own; the simulators' common start and stop.
#include <httplib.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>

namespace vidralo::sim {

class LoopbackServer {
 public:
  LoopbackServer() = default;
  ~LoopbackServer() { stop(); }
  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;

  // The server to add routes to; valid from creation until stop().
  httplib::Server& server();
  // Binds `port` (0: any free port) and starts accepting. False when the
  // port cannot be bound.
  bool start(int port);
  void stop();
  bool running() const { return port_ != 0; }
  int port() const { return port_; }
  // "http://127.0.0.1:PORT"; empty while not started.
  std::string origin() const;

 private:
  std::unique_ptr<httplib::Server> server_;
  std::thread thread_;
  std::atomic<bool> listening_{false};
  int port_ = 0;
};

}  // namespace vidralo::sim
