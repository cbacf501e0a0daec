#include "support/hostile_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <functional>
#include <string_view>

namespace vidralo::test {
namespace {

using Clock = std::chrono::steady_clock;

// True when `fd` became readable within `timeout`.
bool readable(int fd, std::chrono::milliseconds timeout) {
  pollfd watched{fd, POLLIN, 0};
  return ::poll(&watched, 1, static_cast<int>(timeout.count())) > 0;
}

// Sends all of `bytes` unless the client hangs up or `goOn` turns false
// first; a client that stops reading only holds the sender up.
bool sendAll(int fd, std::string_view bytes, const std::function<bool()>& goOn) {
  while (!bytes.empty() && goOn()) {
    const ssize_t count = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) continue;
    if (count <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(count));
  }
  return bytes.empty();
}

}  // namespace

HostileServer::HostileServer(HostileAnswer answer) : answer_(std::move(answer)) {
  listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
  ::listen(listener_, 16);
  socklen_t length = sizeof address;
  ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
  port_ = ntohs(address.sin_port);
  acceptor_ = std::thread(&HostileServer::acceptLoop, this);
}

HostileServer::~HostileServer() {
  stopping_ = true;
  acceptor_.join();
  for (std::thread& server : servers_) server.join();
  ::close(listener_);
}

std::string HostileServer::url(const std::string& path, const std::string& scheme) const {
  return scheme + "://127.0.0.1:" + std::to_string(port_) + path;
}

std::string HostileServer::received() const {
  std::lock_guard lock(mutex_);
  return received_;
}

void HostileServer::acceptLoop() {
  while (!stopping_) {
    if (!readable(listener_, std::chrono::milliseconds(50))) continue;
    const int connection = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (connection < 0) continue;
    ++connections_;
    servers_.emplace_back(&HostileServer::serve, this, connection);
  }
}

void HostileServer::serve(int connection) {
  // The request (or whatever the client sends first), then the answer.
  char buffer[4096];
  if (readable(connection, std::chrono::milliseconds(500))) {
    const ssize_t count = ::recv(connection, buffer, sizeof buffer, 0);
    if (count > 0) {
      std::lock_guard lock(mutex_);
      received_.append(buffer, static_cast<std::size_t>(count));
    }
  }
  const timeval sendWait{0, 100'000};
  ::setsockopt(connection, SOL_SOCKET, SO_SNDTIMEO, &sendWait, sizeof sendWait);
  const auto end = Clock::now() + answer_.duration;
  const auto goOn = [&] { return !stopping_ && Clock::now() < end; };
  bool open = sendAll(connection, answer_.head, goOn);
  // With nothing to send the server only watches the connection.
  const auto pause = answer_.chunk.empty() ? std::chrono::milliseconds(100) : answer_.interval;
  while (open && goOn()) {
    if (readable(connection, pause)) {
      // Readable on a connection the client no longer writes to: it closed.
      open = ::recv(connection, buffer, sizeof buffer, MSG_DONTWAIT) > 0;
      continue;
    }
    open = sendAll(connection, answer_.chunk, goOn);
    if (open) sent_ += answer_.chunk.size();
  }
  if (goOn()) hungUp_ = true;
  ::close(connection);
}

HostileAnswer endlessBody(bool chunked) {
  const std::string blanks(65536, ' ');
  if (chunked)
    return {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n", "10000\r\n" + blanks + "\r\n",
            std::chrono::milliseconds(1), std::chrono::seconds(3)};
  return {"HTTP/1.1 200 OK\r\nContent-Length: 3000000000\r\n\r\n", blanks, std::chrono::milliseconds(1),
          std::chrono::seconds(3)};
}

HostileAnswer drippingBody(std::int64_t length, std::chrono::milliseconds interval) {
  return {"HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(length) + "\r\n\r\n", " ", interval};
}

}  // namespace vidralo::test
