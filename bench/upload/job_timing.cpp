#include "job_timing.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <mutex>

#include "automation/browser_session.h"
#include "common/clock.h"
#include "upload/job_runner.h"

namespace vidralo::bench {

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0 : values[values.size() / 2];
}

long residentKb(pid_t pid, const char* field) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind(field, 0) == 0) return std::stol(line.substr(std::string(field).size()));
  return -1;
}

std::vector<double> timedJobOverheads(ControlModel& controls, CountingEngine& engine, const std::string& uploadPageUrl) {
  auto previous = setClock(std::make_shared<ScaledClock>(kTimeFactor, std::chrono::system_clock::now()));
  // A video runs from its path appearing in 正在发布 to the next one's.
  std::mutex mutex;
  std::vector<std::pair<SteadyClock::time_point, int>> starts;
  const int subscription = controls.subscribe([&](const ControlChange& change) {
    if (change.property != ControlProperty::Cell || change.column != 列_正在发布) return;
    std::lock_guard lock(mutex);
    starts.emplace_back(SteadyClock::now(), engine.statusReads.load());
  });
  {
    JobRunner runner(controls, engine, SessionSettings{[uploadPageUrl] { return uploadPageUrl; }, 1920, 1080, {}});
    runner.toggleJob();
    runner.waitUntilIdle();
  }
  controls.unsubscribe(subscription);
  starts.emplace_back(SteadyClock::now(), engine.statusReads.load());
  engine.closeBrowsers();
  setClock(previous);

  // Prescribed per video: ensureSession 1 s, 1 s before the upload, the page
  // steps 1 + 1 + 2 + 2 per status reading + 2 + 3 s, and 0.9 s after it.
  std::vector<double> overheads;
  for (std::size_t i = 1; i + 1 < starts.size(); ++i) {
    const double seconds = std::chrono::duration<double>(starts[i + 1].first - starts[i].first).count();
    const int reads = starts[i + 1].second - starts[i].second;
    overheads.push_back((seconds - (11.9 + 2.0 * reads) / kTimeFactor) * 1000.0);
  }
  return overheads;
}

}  // namespace vidralo::bench
