#pragma once
// The byte pipe under a DevTools connection: whole text messages in both
// directions. The connection logic sits above it so that it can be tested
// over a fake pipe without a browser.
#include <chrono>
#include <functional>
#include <stop_token>
#include <string>

namespace vidralo::cdp {

class CdpTransport {
 public:
  struct Handlers {
    // One complete message from the browser. Called on the thread that is
    // reading the pipe (the transport's own, or one waiting in await), one
    // message at a time, in arrival order.
    std::function<void(std::string message)> onMessage;
    // The pipe is gone (closed by either side, or the browser died). Called
    // once, after the last onMessage.
    std::function<void()> onClosed;
  };

  virtual ~CdpTransport() = default;

  // Installs the handlers and begins delivering messages.
  virtual void start(Handlers handlers) = 0;
  // Queues one message for sending; false when the pipe is already closed.
  // May be called from any thread.
  virtual bool send(std::string message) = 0;
  // Closes the pipe; onClosed follows. Never blocks on the browser.
  virtual void close() = 0;

  // Waits until `answered()` holds (true), `deadline` passes or `stop` is
  // requested (false). The pipe may be read on the calling thread
  // meanwhile, delivering whatever arrives to whomever it is for, so that
  // an answer needs no hand-over between threads. `answered` is checked
  // again whenever messages were delivered, and after onClosed.
  virtual bool await(const std::function<bool()>& answered, std::chrono::steady_clock::time_point deadline,
                     std::stop_token stop) = 0;
};

}  // namespace vidralo::cdp
