#include "automation/cdp/devtools_http.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <optional>

#include "automation/cdp/loopback_socket.h"

namespace vidralo::cdp {
namespace {

constexpr std::size_t kMaxAnswer = 1024 * 1024;

// The Content-Length of an answer head; none when it carries no such header
// (the body then ends where the connection does).
std::optional<std::size_t> contentLength(const std::string& head) {
  const std::string value = headerValue(head, "Content-Length");
  if (value.empty()) return std::nullopt;
  return static_cast<std::size_t>(std::strtoull(value.c_str(), nullptr, 10));
}

}  // namespace

std::string fetchVersionJson(int port, std::chrono::milliseconds timeLimit) {
  const Deadline deadline = std::chrono::steady_clock::now() + timeLimit;
  std::string error;
  const int fd = connectSocket("127.0.0.1", std::to_string(port), deadline, std::chrono::seconds(5), error);
  if (fd < 0) return {};
  const std::string request =
      "GET /json/version HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) + "\r\nConnection: close\r\n\r\n";
  std::string answer;
  std::size_t headEnd = std::string::npos;
  std::optional<std::size_t> length;
  bool complete = false;
  bool failed = !sendAll(fd, request);
  while (!failed && !complete && answer.size() <= kMaxAnswer) {
    if (!waitReadable(fd, deadline, error)) break;
    char chunk[8192];
    const ssize_t got = ::recv(fd, chunk, sizeof chunk, 0);
    if (got < 0 && errno == EINTR) continue;
    failed = got < 0;
    if (got == 0) complete = headEnd != std::string::npos && !length;  // closed: the body ends here
    if (got <= 0) break;
    answer.append(chunk, static_cast<std::size_t>(got));
    if (headEnd == std::string::npos && (headEnd = answer.find("\r\n\r\n")) != std::string::npos)
      length = contentLength(answer.substr(0, headEnd + 2));
    if (length) complete = answer.size() >= headEnd + 4 + *length;
  }
  ::close(fd);
  const bool ok = answer.starts_with("HTTP/1.1 200") || answer.starts_with("HTTP/1.0 200");
  if (!complete || !ok) return {};
  return answer.substr(headEnd + 4, length ? *length : std::string::npos);
}

}  // namespace vidralo::cdp
