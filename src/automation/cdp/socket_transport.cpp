#include "automation/cdp/socket_transport.h"

#include <sys/socket.h>
#include <unistd.h>

#include <QByteArray>
#include <cerrno>

#include "automation/cdp/loopback_socket.h"
#include "automation/cdp/websocket_frames.h"

namespace vidralo::cdp {
namespace {

// How long a write may wait for a browser that has stopped reading.
constexpr int kSendTimeoutSeconds = 10;
constexpr std::size_t kMaxHandshakeAnswer = 16 * 1024;

struct Endpoint {
  std::string host, port, path;
};

bool parseUrl(const std::string& url, Endpoint& endpoint) {
  constexpr std::string_view scheme = "ws://";
  if (!url.starts_with(scheme)) return false;
  const std::size_t slash = url.find('/', scheme.size());
  const std::string authority = url.substr(scheme.size(), slash == std::string::npos ? std::string::npos
                                                                                      : slash - scheme.size());
  endpoint.path = slash == std::string::npos ? "/" : url.substr(slash);
  const std::size_t colon = authority.rfind(':');
  if (colon == std::string::npos || colon == 0 || colon + 1 == authority.size()) return false;
  endpoint.host = authority.substr(0, colon);
  endpoint.port = authority.substr(colon + 1);
  return true;
}

// Sends the upgrade request and checks the answer; the bytes that followed
// the answer's head (already frames) go to `early`.
bool handshake(int fd, const Endpoint& endpoint, Deadline deadline, std::string& early, std::string& error) {
  std::random_device entropy;
  QByteArray nonce;
  for (int i = 0; i < 16; ++i) nonce.append(static_cast<char>(entropy() & 0xFF));
  const std::string key = nonce.toBase64().toStdString();
  // No Origin header: the browser refuses WebSocket clients that send one
  // unless --remote-allow-origins names it.
  const std::string request = "GET " + endpoint.path + " HTTP/1.1\r\nHost: " + endpoint.host + ":" + endpoint.port +
                              "\r\nUpgrade: websocket\r\nConnection: Upgrade\r\nSec-WebSocket-Key: " + key +
                              "\r\nSec-WebSocket-Version: 13\r\n\r\n";
  if (!sendAll(fd, request)) {
    error = "cannot send the WebSocket handshake";
    return false;
  }
  std::string answer;
  std::size_t headEnd = std::string::npos;
  while ((headEnd = answer.find("\r\n\r\n")) == std::string::npos) {
    if (answer.size() > kMaxHandshakeAnswer) {
      error = "the WebSocket handshake answer is too long";
      return false;
    }
    if (!waitReadable(fd, deadline, error)) return false;
    char chunk[4096];
    const ssize_t got = ::recv(fd, chunk, sizeof chunk, 0);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      error = "the connection closed during the WebSocket handshake";
      return false;
    }
    answer.append(chunk, static_cast<std::size_t>(got));
  }
  const std::string head = answer.substr(0, headEnd + 2);
  if (!head.starts_with("HTTP/1.1 101")) {
    error = "WebSocket upgrade refused: " + head.substr(0, head.find("\r\n"));
    return false;
  }
  if (headerValue(head, "sec-websocket-accept") != webSocketAccept(key)) {
    error = "the WebSocket handshake answer does not match";
    return false;
  }
  early = answer.substr(headEnd + 4);
  return true;
}

}  // namespace

std::unique_ptr<SocketTransport> SocketTransport::open(const std::string& url, std::chrono::milliseconds timeLimit,
                                                       std::string& error) {
  Endpoint endpoint;
  if (!parseUrl(url, endpoint)) {
    error = "not a ws:// address: " + url;
    return nullptr;
  }
  const Deadline deadline = std::chrono::steady_clock::now() + timeLimit;
  const int fd = connectSocket(endpoint.host, endpoint.port, deadline, std::chrono::seconds(kSendTimeoutSeconds), error);
  if (fd < 0) return nullptr;
  std::string early;
  if (!handshake(fd, endpoint, deadline, early, error)) {
    ::close(fd);
    return nullptr;
  }
  return std::unique_ptr<SocketTransport>(new SocketTransport(fd, std::move(early)));
}

SocketTransport::SocketTransport(int fd, std::string early)
    : fd_(fd), early_(std::move(early)), maskSource_(std::random_device{}()) {}

SocketTransport::~SocketTransport() {
  close();
  if (reader_.joinable()) {
    if (reader_.get_id() == std::this_thread::get_id()) reader_.detach();  // never wait for oneself
    else reader_.join();
  }
  ::close(fd_);
}

void SocketTransport::start(Handlers handlers) {
  handlers_ = std::move(handlers);
  reader_ = std::thread([this] { readLoop(); });
}

bool SocketTransport::send(std::string message) {
  std::string frame;
  {
    std::lock_guard lock(writeMutex_);
    const std::uint32_t bits = maskSource_();
    frame = encodeClientFrame(WsOpcode::Text, message,
                              {std::uint8_t(bits), std::uint8_t(bits >> 8), std::uint8_t(bits >> 16),
                               std::uint8_t(bits >> 24)});
  }
  if (writeFrame(frame)) return true;
  close();  // a browser that takes no more commands is as good as gone
  return false;
}

bool SocketTransport::writeFrame(const std::string& frame) {
  std::lock_guard lock(writeMutex_);
  return sendAll(fd_, frame);
}

void SocketTransport::close() {
  // Wakes the reader out of its recv; it then reports the end.
  std::call_once(shutdown_, [this] { ::shutdown(fd_, SHUT_RDWR); });
}

void SocketTransport::readLoop() {
  FrameReader frames;
  frames.feed(early_);
  char chunk[64 * 1024];
  bool open = true;
  while (open) {
    while (std::optional<FrameReader::Item> item = frames.next()) {
      if (item->opcode == WsOpcode::Text || item->opcode == WsOpcode::Binary) {
        handlers_.onMessage(std::move(item->payload));
      } else if (item->opcode == WsOpcode::Ping) {
        writeFrame(encodeClientFrame(WsOpcode::Pong, item->payload, {1, 2, 3, 4}));
      } else if (item->opcode == WsOpcode::Close) {
        writeFrame(encodeClientFrame(WsOpcode::Close, item->payload.substr(0, 2), {1, 2, 3, 4}));
        open = false;
        break;
      }
    }
    if (!open || frames.broken()) break;
    const ssize_t got = ::recv(fd_, chunk, sizeof chunk, 0);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    frames.feed(std::string_view(chunk, static_cast<std::size_t>(got)));
  }
  close();
  if (handlers_.onClosed) handlers_.onClosed();
}

}  // namespace vidralo::cdp
