#include "automation/cdp/websocket_transport.h"

#include <condition_variable>

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>
#include <QUrl>
#include <QWebSocket>

#include "common/stop.h"

namespace vidralo::cdp {

WebSocketTransport::WebSocketTransport() : thread_(std::make_unique<QThread>()) {}

std::unique_ptr<WebSocketTransport> WebSocketTransport::open(const std::string& url,
                                                            std::chrono::milliseconds timeLimit,
                                                            std::string& error) {
  if (!QCoreApplication::instance()) {  // no Qt event loop can run without one
    error = "no QCoreApplication exists";
    return nullptr;
  }
  std::unique_ptr<WebSocketTransport> transport(new WebSocketTransport());
  transport->thread_->setObjectName("cdp-websocket");
  transport->thread_->start();

  transport->home_ = new QObject();
  // No Origin header: the browser refuses WebSocket clients that send one
  // unless --remote-allow-origins names it.
  transport->socket_ = new QWebSocket(QString(), QWebSocketProtocol::VersionLatest, transport->home_);
  transport->home_->moveToThread(transport->thread_.get());
  // The idiomatic end of a worker object: deleted on its own thread as that
  // thread finishes.
  QObject::connect(transport->thread_.get(), &QThread::finished, transport->home_, &QObject::deleteLater);

  struct Outcome {
    std::mutex mutex;
    std::condition_variable_any ready;
    bool done = false;
    bool connected = false;
    QString reason;
  };
  auto outcome = std::make_shared<Outcome>();
  WebSocketTransport* self = transport.get();
  QWebSocket* socket = transport->socket_;

  QObject::connect(socket, &QWebSocket::connected, socket, [outcome] {
    std::lock_guard lock(outcome->mutex);
    outcome->done = true;
    outcome->connected = true;
    outcome->ready.notify_all();
  });
  QObject::connect(socket, &QWebSocket::disconnected, socket, [outcome, self, socket] {
    {
      std::lock_guard lock(outcome->mutex);
      if (!outcome->done) outcome->reason = socket->errorString();
      outcome->done = true;
      outcome->ready.notify_all();
    }
    self->ended();
  });
  QObject::connect(socket, &QWebSocket::textMessageReceived, socket,
                   [self](const QString& text) { self->received(text.toStdString()); });
  QObject::connect(socket, &QWebSocket::binaryMessageReceived, socket,
                   [self](const QByteArray& bytes) { self->received(bytes.toStdString()); });

  const QUrl target(QString::fromStdString(url));
  QMetaObject::invokeMethod(socket, [socket, target] { socket->open(target); }, Qt::QueuedConnection);

  std::unique_lock lock(outcome->mutex);
  const bool finished = outcome->ready.wait_for(lock, currentStopToken(), timeLimit, [&] { return outcome->done; });
  if (finished && outcome->connected) return transport;
  if (!finished) error = stopRequested() ? "stopped while connecting" : "no WebSocket connection within time";
  else error = "WebSocket connection failed: " + outcome->reason.toStdString();
  return nullptr;  // the destructor takes the half-open socket down
}

WebSocketTransport::~WebSocketTransport() {
  close();
  thread_->quit();
  thread_->wait();
}

void WebSocketTransport::start(Handlers handlers) {
  std::deque<std::string> early;
  bool closed = false;
  {
    std::lock_guard lock(mutex_);
    handlers_ = std::move(handlers);
    started_ = true;
    early.swap(early_);
    closed = closed_ && !closeReported_;
    if (closed) closeReported_ = true;
  }
  for (auto& message : early) handlers_.onMessage(std::move(message));
  if (closed && handlers_.onClosed) handlers_.onClosed();
}

bool WebSocketTransport::send(std::string message) {
  {
    std::lock_guard lock(mutex_);
    if (closed_) return false;
  }
  QWebSocket* socket = socket_;
  QMetaObject::invokeMethod(
      socket,
      [socket, text = QString::fromStdString(message)] {
        socket->sendTextMessage(text);
        socket->flush();  // now, not on the event loop's next round
      },
      Qt::QueuedConnection);
  return true;
}

void WebSocketTransport::close() {
  {
    std::lock_guard lock(mutex_);
    if (closed_) return;
    closed_ = true;
  }
  QWebSocket* socket = socket_;
  QMetaObject::invokeMethod(socket, [socket] { socket->abort(); }, Qt::QueuedConnection);
}

void WebSocketTransport::received(std::string message) {
  {
    std::lock_guard lock(mutex_);
    if (!started_) {
      early_.push_back(std::move(message));
      return;
    }
  }
  handlers_.onMessage(std::move(message));
}

void WebSocketTransport::ended() {
  {
    std::lock_guard lock(mutex_);
    closed_ = true;
    if (!started_ || closeReported_) return;
    closeReported_ = true;
  }
  if (handlers_.onClosed) handlers_.onClosed();
}

}  // namespace vidralo::cdp
