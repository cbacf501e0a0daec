#pragma once
// The DevTools pipe over a WebSocket on a plain TCP socket: commands are
// written straight from the calling thread, and one reader thread per
// connection blocks on the socket and hands each message on. No event loop
// stands between a command and the wire, which keeps a round trip to the
// browser short.
#include <chrono>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <thread>

#include "automation/cdp/cdp_transport.h"

namespace vidralo::cdp {

class SocketTransport final : public CdpTransport {
 public:
  // Connects to `url` ("ws://host:port/path") and completes the WebSocket
  // handshake within `timeLimit`. Null, with the reason in `error`, on
  // failure or when the calling thread's stop is requested.
  static std::unique_ptr<SocketTransport> open(const std::string& url, std::chrono::milliseconds timeLimit,
                                               std::string& error);
  ~SocketTransport() override;
  SocketTransport(const SocketTransport&) = delete;
  SocketTransport& operator=(const SocketTransport&) = delete;

  void start(Handlers handlers) override;
  bool send(std::string message) override;
  void close() override;

 private:
  SocketTransport(int fd, std::string early);
  bool writeFrame(const std::string& frame);
  void readLoop();

  const int fd_;
  std::string early_;  // bytes that came with the handshake answer
  Handlers handlers_;
  std::thread reader_;
  std::mutex writeMutex_;
  std::mt19937 maskSource_;  // guarded by writeMutex_
  std::once_flag shutdown_;
};

}  // namespace vidralo::cdp
