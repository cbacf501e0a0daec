#pragma once
// A small web site on 127.0.0.1 for the browser tests: pages with delayed
// markers, form fields, frames, a hidden file input that posts its file
// back, dialogs on load, and a page whose answer is held back on request.
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace vidralo::sim {
class LoopbackServer;
}

namespace vidralo::cdp::test {

class TestSite {
 public:
  TestSite();
  ~TestSite();

  // "http://127.0.0.1:<port>" + path
  std::string url(const std::string& path) const;

  // The last file posted by the upload page, and its name.
  std::string receivedBytes() const;
  std::string receivedName() const;

  // How often `path` was asked for. /no-content answers 204 (a navigation
  // the browser aborts) every time, /aborted-twice the first two times and
  // then a page showing "ready:after-aborts".
  int requestCount(const std::string& path) const;

  // /hang answers only after release(); waitHangRequested() returns once a
  // request for it arrived (false after a generous bound).
  bool waitHangRequested();
  void release();

 private:
  std::unique_ptr<sim::LoopbackServer> server_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::string receivedBytes_, receivedName_;
  bool hangRequested_ = false, released_ = false;
  std::map<std::string, int> requests_;
};

}  // namespace vidralo::cdp::test
