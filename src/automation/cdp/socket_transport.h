#pragma once
// The DevTools pipe over a WebSocket on a plain TCP socket: commands are
// written straight from the calling thread, and the socket is read by one
// thread at a time, which hands each message on. The connection's reader
// thread reads whenever no caller waits; a caller that finds the socket
// free (the next command of a step, sent right after an answer) reads it
// itself, so that its answer wakes it directly. No event loop stands
// between a command and the wire, which keeps a round trip short.
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "automation/cdp/cdp_transport.h"
#include "automation/cdp/websocket_frames.h"

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
  bool await(const std::function<bool()>& answered, std::chrono::steady_clock::time_point deadline,
             std::stop_token stop) override;

 private:
  SocketTransport(int fd, std::string early);
  // One frame, masked as clients must; false when it could not be written.
  bool writeFrame(WsOpcode opcode, std::string payload);
  void readLoop();
  // Waits for bytes (a caller: a slice at most) and delivers every whole
  // message they complete; false once the pipe has ended. Only the thread
  // that holds the reading turn calls it.
  bool readOnce(bool caller);
  bool deliverBuffered();
  // The pipe has ended: closes it, reports it, and releases every waiter.
  void finish();

  const int fd_;
  Handlers handlers_;
  std::thread reader_;
  std::mutex writeMutex_;
  std::mt19937 maskSource_;  // guarded by writeMutex_
  std::once_flag shutdown_;

  // Touched only by the thread that holds the reading turn.
  FrameReader frames_;
  bool earlyBytes_;  // frames_ holds bytes that came with the handshake answer
  std::vector<char> chunk_;

  // The reading turn: who may read the socket now.
  std::mutex turnMutex_;
  std::condition_variable callerTurn_;  // the turn is free (messages may have come), or the pipe ended
  std::condition_variable readerTurn_;  // the pipe ended
  bool reading_ = false;                // some thread holds the turn
  int callersWaiting_ = 0;
  std::chrono::steady_clock::time_point lastCallerLeft_;
  bool ended_ = false;  // set after onClosed
};

}  // namespace vidralo::cdp
