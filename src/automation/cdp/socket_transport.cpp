#include "automation/cdp/socket_transport.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QByteArray>
#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <utility>

#include "automation/cdp/loopback_socket.h"
#include "automation/cdp/websocket_frames.h"

namespace vidralo::cdp {
namespace {

// How long a write may wait for a browser that has stopped reading.
constexpr int kSendTimeoutSeconds = 10;
constexpr std::size_t kMaxHandshakeAnswer = 16 * 1024;
constexpr std::size_t kChunkBytes = 64 * 1024;
// A caller often sends its next command soon after an answer (a search
// through frames, a step of several commands, the 20 ms polls of a page
// that loads): the reader thread leaves the socket free for this long after
// the last caller left, so that the next caller reads its answer itself,
// which spares a hand-over between threads. Events meanwhile wait as long
// at most.
constexpr std::chrono::milliseconds kCallerGrace{25};
// A caller that reads waits in recv itself, as briefly as the socket allows,
// and looks at its stop and time limit whenever this much has passed
// without bytes.
constexpr timeval kCallerReadSlice{0, 5000};

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
  // Only a caller's blocking read waits this long; the reader thread's
  // reads never block.
  ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &kCallerReadSlice, sizeof kCallerReadSlice);
  return std::unique_ptr<SocketTransport>(new SocketTransport(fd, std::move(early)));
}

SocketTransport::SocketTransport(int fd, std::string early)
    : fd_(fd), maskSource_(std::random_device{}()), earlyBytes_(!early.empty()), chunk_(kChunkBytes) {
  frames_.feed(early);
}

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
  if (writeFrame(WsOpcode::Text, std::move(message))) return true;
  close();  // a browser that takes no more commands is as good as gone
  return false;
}

bool SocketTransport::writeFrame(WsOpcode opcode, std::string payload) {
  std::lock_guard lock(writeMutex_);
  const std::uint32_t bits = maskSource_();
  return sendAll(fd_, encodeClientFrame(opcode, std::move(payload),
                                        {std::uint8_t(bits), std::uint8_t(bits >> 8), std::uint8_t(bits >> 16),
                                         std::uint8_t(bits >> 24)}));
}

void SocketTransport::close() {
  // Wakes the thread reading out of its wait; it then reports the end.
  std::call_once(shutdown_, [this] { ::shutdown(fd_, SHUT_RDWR); });
}

bool SocketTransport::await(const std::function<bool()>& answered, std::chrono::steady_clock::time_point deadline,
                            std::stop_token stop) {
  // Made before the lock is taken: it runs at once when the stop is
  // already requested. A caller that reads sees its stop when its read
  // returns, within a slice.
  const std::stop_callback onStop(stop, [this] {
    { const std::lock_guard lock(turnMutex_); }
    callerTurn_.notify_all();
  });
  std::unique_lock lock(turnMutex_);
  ++callersWaiting_;
  bool done = false;
  while (!(done = answered()) && !ended_ && !stop.stop_requested() && std::chrono::steady_clock::now() < deadline) {
    if (reading_) {
      // Whoever reads delivers the answer. The reader thread is not asked to
      // make way: that would wake one more thread just while the browser
      // needs the processor.
      callerTurn_.wait_until(lock, deadline);
      continue;
    }
    reading_ = true;
    lock.unlock();
    const bool open = readOnce(true);
    if (!open) finish();
    lock.lock();
    reading_ = false;
    callerTurn_.notify_all();  // for a caller whose answer came, or who reads on
  }
  if (--callersWaiting_ == 0) lastCallerLeft_ = std::chrono::steady_clock::now();
  return done;
}

void SocketTransport::readLoop() {
  std::unique_lock lock(turnMutex_);
  while (!ended_) {
    // While callers come and go, the reader thread only looks now and then:
    // waking it whenever one left would take the processor from the next.
    const auto now = std::chrono::steady_clock::now();
    if (reading_ || callersWaiting_ > 0 || now < lastCallerLeft_ + kCallerGrace) {
      readerTurn_.wait_until(lock, std::max(now, lastCallerLeft_) + kCallerGrace);
      continue;
    }
    reading_ = true;
    lock.unlock();
    const bool open = readOnce(false);
    if (!open) finish();
    lock.lock();
    reading_ = false;
    callerTurn_.notify_all();  // for a caller that came meanwhile
  }
}

bool SocketTransport::readOnce(bool caller) {
  // What came with the handshake answer is delivered before any wait.
  if (std::exchange(earlyBytes_, false)) return deliverBuffered();
  int flags = 0;
  if (!caller) {
    // The reader thread waits in poll, without a time limit: close() ends
    // the wait, and a caller that comes meanwhile has its answer delivered.
    pollfd wait{fd_, POLLIN, 0};
    if (::poll(&wait, 1, -1) < 0) return errno == EINTR;
    flags = MSG_DONTWAIT;
  }
  const ssize_t got = ::recv(fd_, chunk_.data(), chunk_.size(), flags);
  if (got < 0) return errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK;
  if (got == 0) return false;
  frames_.feed(std::string_view(chunk_.data(), static_cast<std::size_t>(got)));
  return deliverBuffered();
}

bool SocketTransport::deliverBuffered() {
  while (std::optional<FrameReader::Item> item = frames_.next()) {
    if (item->opcode == WsOpcode::Text || item->opcode == WsOpcode::Binary) {
      handlers_.onMessage(std::move(item->payload));
    } else if (item->opcode == WsOpcode::Ping) {
      writeFrame(WsOpcode::Pong, std::move(item->payload));
    } else if (item->opcode == WsOpcode::Close) {
      writeFrame(WsOpcode::Close, item->payload.substr(0, 2));
      return false;
    }
  }
  return !frames_.broken();
}

void SocketTransport::finish() {
  close();
  if (handlers_.onClosed) handlers_.onClosed();
  {
    const std::lock_guard lock(turnMutex_);
    ended_ = true;
  }
  callerTurn_.notify_all();
  readerTurn_.notify_all();
}

}  // namespace vidralo::cdp
