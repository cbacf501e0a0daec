#pragma once
// A transport that keeps what the connection sends and lets the test answer,
// push events and end the pipe, without a browser.
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "automation/cdp/cdp_transport.h"

namespace vidralo::cdp::test {

class FakeTransport final : public CdpTransport {
 public:
  void start(Handlers handlers) override { handlers_ = std::move(handlers); }

  bool send(std::string message) override {
    std::lock_guard lock(mutex_);
    if (closed_) return false;
    sent_.push_back(std::move(message));
    changed_.notify_all();
    return true;
  }

  void close() override { end(); }

  // Callers wait here; the test delivers.
  bool await(const std::function<bool()>& answered, std::chrono::steady_clock::time_point deadline,
             std::stop_token stop) override {
    std::unique_lock lock(mutex_);
    return changed_.wait_until(lock, stop, deadline, answered);
  }

  // As if the browser sent `message`.
  void deliver(const std::string& message) {
    handlers_.onMessage(message);
    std::lock_guard lock(mutex_);
    changed_.notify_all();
  }

  // As if the browser went away.
  void end() {
    {
      std::lock_guard lock(mutex_);
      if (closed_) return;
      closed_ = true;
    }
    if (handlers_.onClosed) handlers_.onClosed();
    std::lock_guard lock(mutex_);
    changed_.notify_all();
  }

  // Waits until `count` messages were sent; returns them all. Fails the
  // wait after a generous bound so that a broken test cannot hang.
  std::vector<std::string> waitForSent(std::size_t count) {
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, std::chrono::seconds(10), [&] { return sent_.size() >= count; });
    return sent_;
  }

 private:
  Handlers handlers_;
  std::mutex mutex_;
  std::condition_variable_any changed_;
  std::vector<std::string> sent_;
  bool closed_ = false;
};

}  // namespace vidralo::cdp::test
