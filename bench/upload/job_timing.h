#pragma once
// What the benchmarks of the job share: an engine wrapper that counts and
// times, and the per-video
// overhead of a job run (its time minus the waits it prescribes).
#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "automation/browser_engine.h"
#include "controls/control_model.h"
#include "simulator/simulated_platform.h"

namespace vidralo::bench {

using SteadyClock = std::chrono::steady_clock;
// Waits pass twice as fast during a timed job; the page runs in real time.
inline constexpr double kTimeFactor = 2.0;

// Counts the upload-status readings, each of which carries a prescribed
// 2-second wait, and times every call on the way to the real engine, so the
// benchmark can say where the overhead goes.
class CountingEngine final : public BrowserEngine {
 public:
  explicit CountingEngine(BrowserEngine& inner) : inner_(inner) {}
  std::atomic<int> statusReads{0};

  void setRunDirectory(const std::string& d) override { inner_.setRunDirectory(d); }
  void setLogCallback(LogCallback c) override { inner_.setLogCallback(std::move(c)); }
  std::string version() const override { return inner_.version(); }
  bool globalInit(const std::string& p) override { return inner_.globalInit(p); }
  StartedBrowser startBrowser(const std::string& u, const StartOptions& o) override {
    return timed("startBrowser", [&] { return inner_.startBrowser(u, o); });
  }
  std::vector<RunningBrowser> connectStarted() override {
    return timed("connectStarted", [&] { return inner_.connectStarted(); });
  }
  int runningBrowserCount() const override { return inner_.runningBrowserCount(); }
  void closeBrowser(SessionId s) override { timed("closeBrowser", [&] { inner_.closeBrowser(s); }); }
  void closeBrowsers() override { inner_.closeBrowsers(); }
  bool isConnected(SessionId s) override { return timed("isConnected", [&] { return inner_.isConnected(s); }); }
  void closeOtherPages(SessionId s) override { timed("closeOtherPages", [&] { inner_.closeOtherPages(s); }); }
  void activatePage(SessionId s) override { timed("activatePage", [&] { inner_.activatePage(s); }); }
  std::string pageUrl(SessionId s) override { return timed("pageUrl", [&] { return inner_.pageUrl(s); }); }
  void overrideDialogs(SessionId s) override { timed("overrideDialogs", [&] { inner_.overrideDialogs(s); }); }
  bool navigate(SessionId s, const std::string& u) override {
    return timed("navigate", [&] { return inner_.navigate(s, u); });
  }
  void refresh(SessionId s) override { timed("refresh", [&] { inner_.refresh(s); }); }
  bool pageIsLoaded(SessionId s, const std::string& m) override {
    return timed("pageIsLoaded", [&] { return inner_.pageIsLoaded(s, m); });
  }
  bool waitPageLoaded(SessionId s, const std::string& m) override {
    return timed("waitPageLoaded", [&] { return inner_.waitPageLoaded(s, m); });
  }
  void setWindowTitle(SessionId s, const std::string& t) override {
    timed("setWindowTitle", [&] { inner_.setWindowTitle(s, t); });
  }
  std::string captureScreenshot(SessionId s) override {
    return timed("captureScreenshot", [&] { return inner_.captureScreenshot(s); });
  }
  bool elementExists(SessionId s, const std::string& q) override {
    return timed("elementExists", [&] { return inner_.elementExists(s, q); });
  }
  bool elementShown(SessionId s, const std::string& q) override {
    return timed("elementShown", [&] { return inner_.elementShown(s, q); });
  }
  std::string elementText(SessionId s, const std::string& q) override {
    if (q == ".video-status") ++statusReads;
    return timed("elementText", [&] { return inner_.elementText(s, q); });
  }
  bool click(SessionId s, const std::string& q, bool m) override {
    return timed(m ? "click with mouse events" : "click", [&] { return inner_.click(s, q, m); });
  }
  bool input(SessionId s, const std::string& q, const std::string& t) override {
    return timed("input", [&] { return inner_.input(s, q, t); });
  }
  bool uploadFile(SessionId s, const std::string& p) override {
    return timed("uploadFile", [&] { return inner_.uploadFile(s, p); });
  }
  std::string versionJson(SessionId s) override { return inner_.versionJson(s); }

  // Total milliseconds per operation.
  std::map<std::string, double> totals() const {
    std::lock_guard lock(mutex_);
    return totals_;
  }

 private:
  template <typename Call>
  auto timed(const char* name, Call call) -> decltype(call()) {
    const auto start = SteadyClock::now();
    struct Record {
      CountingEngine& self;
      const char* name;
      SteadyClock::time_point start;
      ~Record() {
        std::lock_guard lock(self.mutex_);
        self.totals_[name] += std::chrono::duration<double, std::milli>(SteadyClock::now() - start).count();
      }
    } record{*this, name, start};
    return call();
  }

  BrowserEngine& inner_;
  mutable std::mutex mutex_;
  std::map<std::string, double> totals_;
};

double median(std::vector<double> values);

// A "VmRSS:"-style field of /proc/PID/status in kB; -1 when unreadable.
long residentKb(pid_t pid, const char* field);

// Runs a job over `controls` to its end with waits sped up by kTimeFactor;
// returns each video's overhead in ms, leaving out the first (which also
// starts the browser).
std::vector<double> timedJobOverheads(ControlModel& controls, CountingEngine& engine, const std::string& uploadPageUrl);

}  // namespace vidralo::bench
