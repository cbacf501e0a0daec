#pragma once
// A raw TCP server on 127.0.0.1 that answers every connection the same
// hostile way: a head at once, then a chunk every interval (a dripping
// answer, or an endless body with no interval) until the answer's time is
// up or the client hangs up (an empty answer: a server that never answers).
// It records what it received and whether a
// client hung up first, so a test can tell a client that gave up from one
// that waited for the end.
#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace vidralo::test {

struct HostileAnswer {
  std::string head;
  std::string chunk;
  std::chrono::milliseconds interval{0};
  // How long each connection keeps sending before the server closes it.
  std::chrono::milliseconds duration{std::chrono::seconds(20)};
};

class HostileServer {
 public:
  explicit HostileServer(HostileAnswer answer);
  // Closes every connection and joins every thread.
  ~HostileServer();
  HostileServer(const HostileServer&) = delete;
  HostileServer& operator=(const HostileServer&) = delete;

  int port() const { return port_; }
  // "SCHEME://127.0.0.1:PORT" + path.
  std::string url(const std::string& path = "/", const std::string& scheme = "http") const;

  int connections() const { return connections_; }
  // True once a client closed its connection before the answer's time was up.
  bool clientHungUp() const { return hungUp_; }
  std::size_t bytesSent() const { return sent_; }
  // Everything received, all connections together.
  std::string received() const;

 private:
  void acceptLoop();
  void serve(int connection);

  HostileAnswer answer_;
  int listener_ = -1;
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  std::atomic<int> connections_{0};
  std::atomic<bool> hungUp_{false};
  std::atomic<std::size_t> sent_{0};
  mutable std::mutex mutex_;
  std::string received_;
  std::vector<std::thread> servers_;
  std::thread acceptor_;
};

// An answer whose body never ends: a huge Content-Length, or chunked framing
// without a last chunk; 64 KiB of blanks every millisecond.
HostileAnswer endlessBody(bool chunked);

// A 200 answer announcing `length` bytes, then one byte every `interval`.
HostileAnswer drippingBody(std::int64_t length, std::chrono::milliseconds interval);

}  // namespace vidralo::test
