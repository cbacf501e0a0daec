#pragma once
// The DevTools pipe over a WebSocket: a QWebSocket on a thread of its own
// with its own event loop, so that the browser's messages are read no
// matter what the program's other threads do. Needs a QCoreApplication (or
// QApplication) to exist, as every Qt event loop does.
#include <chrono>
#include <deque>
#include <memory>
#include <mutex>
#include <string>

#include "automation/cdp/cdp_transport.h"

class QObject;
class QThread;
class QWebSocket;

namespace vidralo::cdp {

class WebSocketTransport final : public CdpTransport {
 public:
  // Connects to `url` (ws://127.0.0.1:port/devtools/browser/...). Null, with
  // the reason in `error`, when no connection stands within `timeLimit` or
  // the calling thread's stop is requested.
  static std::unique_ptr<WebSocketTransport> open(const std::string& url, std::chrono::milliseconds timeLimit,
                                                  std::string& error);
  ~WebSocketTransport() override;

  void start(Handlers handlers) override;
  bool send(std::string message) override;
  void close() override;

 private:
  WebSocketTransport();
  void received(std::string message);
  void ended();

  std::unique_ptr<QThread> thread_;
  QObject* home_ = nullptr;      // lives on thread_, owns the socket
  QWebSocket* socket_ = nullptr;  // used on thread_ only

  std::mutex mutex_;
  Handlers handlers_;
  bool started_ = false;
  bool closed_ = false;
  bool closeReported_ = false;
  std::deque<std::string> early_;  // messages that arrived before start()
};

}  // namespace vidralo::cdp
