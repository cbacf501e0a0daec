// The job against the real headless Chromium on the simulated upload page:
// 1. per-video overhead: the time of one published video minus the waits the
//    job and the page steps prescribe for it, over 20 videos (median);
// 2. resident memory of the headless program (not the browser) during a
//    20-video job.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "automation/browser_session.h"
#include "automation/cdp/cdp_engine.h"
#include "common/clock.h"
#include "common/program_dir.h"
#include "simulator/simulated_platform.h"
#include "upload/job_runner.h"

extern char** environ;

namespace vidralo {
namespace {

using SteadyClock = std::chrono::steady_clock;
constexpr int kVideos = 20;
constexpr double kTimeFactor = 2.0;  // waits pass twice as fast; the page runs in real time

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
  void navigate(SessionId s, const std::string& u) override { timed("navigate", [&] { inner_.navigate(s, u); }); }
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
  std::string elementText(SessionId s, const std::string& q) override {
    if (q == ".video-status") ++statusReads;
    return timed("elementText", [&] { return inner_.elementText(s, q); });
  }
  bool click(SessionId s, const std::string& q, bool m) override {
    return timed("click", [&] { return inner_.click(s, q, m); });
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

// A program directory with one logged-in account and `videos` videos.
std::string prepareAccount(const std::string& root, sim::SimulatedPlatform& platform, const std::string& id,
                           int videos) {
  std::filesystem::remove_all(root);
  const std::string folder = root + "/videos";
  std::filesystem::create_directories(folder);
  std::filesystem::create_directories(root + "/data/list");
  for (int i = 0; i < videos; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "/v%02d.mp4", i);
    std::ofstream(folder + name, std::ios::binary) << std::string(200000, 'v');
  }
  std::ofstream(root + "/data/list/" + id + ".json")
      << R"({"昵称":"","素材目录":")" << folder << R"(","缓存id":")" << id << R"("})";
  std::ofstream(root + "/config.ini") << "[hosts]\nplatform = " << platform.origin() << "\n";

  setProgramDirectory(root);
  cdp::CdpEngine engine{cdp::CdpEngine::Config{cdp::CdpEngine::Headless::On}};
  engine.setRunDirectory(root);
  engine.globalInit("");
  const StartedBrowser login = engine.startBrowser(platform.loginUrl("测速号"), {profileDirectory(id), "960,1038", "1,1"});
  engine.waitPageLoaded(login.sessionId, "视频拖拽");
  engine.closeBrowsers();
  return folder;
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0 : values[values.size() / 2];
}

void perVideoOverhead(sim::SimulatedPlatform& platform) {
  const std::string root = (std::filesystem::temp_directory_path() / "vidralo-bench-job").string();
  const std::string folder = prepareAccount(root, platform, "901", kVideos + 1);
  auto previous = setClock(std::make_shared<ScaledClock>(kTimeFactor, std::chrono::system_clock::now()));

  cdp::CdpEngine real{cdp::CdpEngine::Config{cdp::CdpEngine::Headless::On}};
  real.setRunDirectory(root);
  real.globalInit("");
  CountingEngine engine(real);
  ControlModel controls;
  controls.appendRow({"1", "", folder, "901"});
  controls.setText(ControlId::编辑框_单账号上传, std::to_string(kVideos + 1));
  controls.setText(ControlId::编辑框_视频间隔, "0");
  controls.setText(ControlId::编辑框_视频间隔1, "0");
  controls.setChecked(ControlId::选择框_自动循环, false);
  controls.setChecked(ControlId::单选框_选择视频_顺序, true);

  // A video runs from its path appearing in 正在发布 to the next one's.
  std::mutex mutex;
  std::vector<std::pair<SteadyClock::time_point, int>> starts;
  controls.subscribe([&](const ControlChange& change) {
    if (change.property != ControlProperty::Cell || change.column != 列_正在发布) return;
    std::lock_guard lock(mutex);
    starts.emplace_back(SteadyClock::now(), engine.statusReads.load());
  });
  JobRunner runner(controls, engine, SessionSettings{platform.uploadPageUrl(), 1920, 1080, {}});
  runner.toggleJob();
  runner.waitUntilIdle();
  starts.emplace_back(SteadyClock::now(), engine.statusReads.load());
  real.closeBrowsers();
  setClock(previous);

  // Prescribed per video: ensureSession 1 s, 1 s before the upload, the page
  // steps 1 + 1 + 2 + 2 per status reading + 2 + 3 s, and 0.9 s after it.
  std::vector<double> overheads;
  for (std::size_t i = 1; i + 1 < starts.size(); ++i) {  // the first video also starts the browser
    const double seconds = std::chrono::duration<double>(starts[i + 1].first - starts[i].first).count();
    const int reads = starts[i + 1].second - starts[i].second;
    overheads.push_back((seconds - (11.9 + 2.0 * reads) / kTimeFactor) * 1000.0);
  }
  std::printf("per-video overhead: median %.1f ms over %zu videos (target <= 100 ms); published %zu\n",
              median(overheads), overheads.size(), platform.publications().size());
  std::printf("engine time per video, by operation:");
  for (const auto& [name, total] : engine.totals())
    std::printf(" %s %.1f ms;", name.c_str(), total / static_cast<double>(kVideos + 1));
  std::printf("\n");
  std::filesystem::remove_all(root);
}

long residentKb(pid_t pid, const char* field) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind(field, 0) == 0) return std::stol(line.substr(std::string(field).size()));
  return -1;
}

void headlessMemory(sim::SimulatedPlatform& platform) {
  const std::string root = (std::filesystem::temp_directory_path() / "vidralo-bench-memory").string();
  prepareAccount(root, platform, "902", kVideos);
  setProgramDirectory("");
  std::vector<std::string> arguments{VIDRALO_EXECUTABLE, "--headless", "--dir", root,
                                     "--set", "编辑框_单账号上传=" + std::to_string(kVideos),
                                     "--set", "编辑框_视频间隔=0", "--set", "编辑框_视频间隔1=0",
                                     "--set", "选择框_自动循环=假"};
  std::vector<char*> argv;
  for (std::string& a : arguments) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);

  long peak = 0, highWater = 0;
  while (waitpid(pid, nullptr, WNOHANG) == 0) {
    peak = std::max(peak, residentKb(pid, "VmRSS:"));
    highWater = std::max(highWater, residentKb(pid, "VmHWM:"));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  std::printf("headless program resident memory during %d videos: peak %.1f MB (high-water %.1f MB; target <= 40 MB); "
              "published %zu\n",
              kVideos, static_cast<double>(peak) / 1024, static_cast<double>(highWater) / 1024,
              platform.publications().size());
  std::filesystem::remove_all(root);
}

}  // namespace
}  // namespace vidralo

// Arguments: "overhead", "memory" or nothing for both.
int main(int argc, char** argv) {
  const std::string only = argc > 1 ? argv[1] : "";
  vidralo::sim::SimulatedPlatform platform;
  if (!platform.start()) return 1;
  if (only.empty() || only == "overhead") vidralo::perVideoOverhead(platform);
  if (only.empty() || only == "memory") vidralo::headlessMemory(platform);
  platform.stop();
  return 0;
}
