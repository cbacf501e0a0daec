#include "simulator/loopback_server.h"

#include "common/text_rules.h"

namespace vidralo::sim {
namespace {
constexpr const char* kHost = "127.0.0.1";
}

httplib::Server& LoopbackServer::server() {
  if (!server_) server_ = makeServer_ ? makeServer_() : std::make_unique<httplib::Server>();
  return *server_;
}

bool LoopbackServer::start(int port) {
  if (running()) return true;
  httplib::Server& s = server();
  const int bound = port == 0 ? s.bind_to_any_port(kHost) : (s.bind_to_port(kHost, port) ? port : -1);
  if (bound <= 0) {
    server_.reset();
    return false;
  }
  port_ = bound;
  // The socket already listens, so requests made from here on are queued
  // until the accept loop takes them.
  listening_ = true;
  thread_ = std::thread([this] {
    server_->listen_after_bind();
    listening_ = false;
  });
  return true;
}

void LoopbackServer::stop() {
  if (!server_) return;
  if (running()) {
    // A stop that comes before the accept loop has begun is not seen by the
    // server, so it is repeated until the loop has ended.
    while (listening_) {
      server_->stop();
      std::this_thread::yield();
    }
    thread_.join();
  }
  server_.reset();
  port_ = 0;
}

std::string LoopbackServer::origin(const char* scheme) const {
  if (port_ == 0) return {};
  return std::string(scheme) + "://" + kHost + ":" + numberToText(port_);
}

}  // namespace vidralo::sim
