#pragma once
// A cpp-httplib server (plain or TLS) on 127.0.0.1 and a free port, serving
// on a thread of its own from start() until the object goes away.
#include <httplib.h>

#include <string>
#include <thread>
#include <utility>

namespace vidralo::test {

template <class Server = httplib::Server>
class LoopbackServer {
 public:
  template <class... Args>
  explicit LoopbackServer(Args&&... args) : server_(std::forward<Args>(args)...) {}
  ~LoopbackServer() {
    server_.stop();
    if (thread_.joinable()) thread_.join();
  }
  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;

  // Routes are added before start().
  Server& routes() { return server_; }

  void start() {
    port_ = server_.bind_to_any_port("127.0.0.1");
    // The socket listens from here on: early connections wait in its queue.
    thread_ = std::thread([this] { server_.listen_after_bind(); });
  }

  int port() const { return port_; }
  // "scheme://127.0.0.1:port"
  std::string origin(const char* scheme = "http") const {
    return std::string(scheme) + "://127.0.0.1:" + std::to_string(port_);
  }

 private:
  Server server_;
  std::thread thread_;
  int port_ = 0;
};

}  // namespace vidralo::test
