#pragma once
// An httplib server (plain or TLS) on 127.0.0.1 running its accept loop on a
// thread of its own; the common start and stop of the simulators and the
// test sites.
#include <httplib.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>

namespace vidralo::sim {

class LoopbackServer {
 public:
  using MakeServer = std::function<std::unique_ptr<httplib::Server>()>;

  // `makeServer` gives the server each start uses (an httplib::SSLServer for
  // TLS, say); a plain httplib::Server by default.
  explicit LoopbackServer(MakeServer makeServer = {}) : makeServer_(std::move(makeServer)) {}
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
  // "SCHEME://127.0.0.1:PORT"; empty while not started.
  std::string origin(const char* scheme = "http") const;

 private:
  MakeServer makeServer_;
  std::unique_ptr<httplib::Server> server_;
  std::thread thread_;
  std::atomic<bool> listening_{false};
  int port_ = 0;
};

}  // namespace vidralo::sim
