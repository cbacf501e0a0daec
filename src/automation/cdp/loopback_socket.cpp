#include "automation/cdp/loopback_socket.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>

#include "common/stop.h"

namespace vidralo::cdp {
namespace {

// Waits for a socket are cut into slices so that a stop is noticed.
constexpr int kWaitSliceMs = 50;

bool waitFor(int fd, short events, Deadline deadline, std::string& error) {
  while (true) {
    if (stopRequested()) {
      error = "stopped while waiting for the browser";
      return false;
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      error = "no answer from the browser within time";
      return false;
    }
    pollfd entry{fd, events, 0};
    const int ready = ::poll(&entry, 1, static_cast<int>(std::min<std::int64_t>(left.count(), kWaitSliceMs)));
    if (ready > 0) return true;
    if (ready < 0 && errno != EINTR) {
      error = std::string("poll failed: ") + std::strerror(errno);
      return false;
    }
  }
}

}  // namespace

bool waitReadable(int fd, Deadline deadline, std::string& error) { return waitFor(fd, POLLIN, deadline, error); }

int connectSocket(const std::string& host, const std::string& port, Deadline deadline,
                  std::chrono::seconds sendLimit, std::string& error) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (::getaddrinfo(host.c_str(), port.c_str(), &hints, &found) != 0 || !found) {
    error = "cannot resolve " + host;
    return -1;
  }
  const int fd = ::socket(found->ai_family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  int result = fd < 0 ? -1 : ::connect(fd, found->ai_addr, found->ai_addrlen);
  const int connectError = errno;
  ::freeaddrinfo(found);
  if (fd < 0) {
    error = std::string("socket failed: ") + std::strerror(connectError);
    return -1;
  }
  if (result != 0 && connectError == EINPROGRESS) {
    if (waitFor(fd, POLLOUT, deadline, error)) {
      int status = 0;
      socklen_t length = sizeof status;
      ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &status, &length);
      result = status == 0 ? 0 : -1;
      if (status != 0) error = std::string("connect failed: ") + std::strerror(status);
    }
  } else if (result != 0) {
    error = std::string("connect failed: ") + std::strerror(connectError);
  }
  if (result != 0) {
    ::close(fd);
    return -1;
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  const int on = 1;
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);  // commands are small; send each at once
  const timeval limit{static_cast<time_t>(sendLimit.count()), 0};
  ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
  return fd;
}

bool sendAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

std::string headerValue(const std::string& head, std::string_view name) {
  auto lowered = [](std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
  };
  const std::size_t at = lowered(head).find("\r\n" + lowered(std::string(name)) + ":");
  if (at == std::string::npos) return {};
  std::size_t begin = at + 3 + name.size();
  std::size_t end = head.find("\r\n", begin);
  if (end == std::string::npos) end = head.size();
  while (begin < end && head[begin] == ' ') ++begin;
  while (end > begin && head[end - 1] == ' ') --end;
  return head.substr(begin, end - begin);
}

}  // namespace vidralo::cdp
