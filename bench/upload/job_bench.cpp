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
#include "job_timing.h"
#include "support/logged_in_account.h"
#include "support/bench_dir.h"

extern char** environ;

namespace vidralo {
namespace {

using namespace bench;
constexpr int kVideos = 20;
constexpr double kOverheadTargetMs = 40;
constexpr double kResidentTargetMb = 18;

void perVideoOverhead(sim::SimulatedPlatform& platform) {
  const BenchDir dir("vidralo-bench-job");
  const std::string root = dir.path();
  const std::string folder = prepareLoggedInAccount(root, platform, "901", kVideos + 1);

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
  const std::vector<double> overheads = timedJobOverheads(controls, engine, platform.uploadPageUrl());

  const double overhead = median(overheads);
  std::printf("per-video overhead: median %.1f ms over %zu videos, target <= %.0f ms: %s; published %zu\n", overhead,
              overheads.size(), kOverheadTargetMs, overhead <= kOverheadTargetMs ? "met" : "not met",
              platform.publications().size());
  std::printf("engine time per video, by operation:");
  for (const auto& [name, total] : engine.totals())
    std::printf(" %s %.1f ms;", name.c_str(), total / static_cast<double>(kVideos + 1));
  std::printf("\n");
  std::filesystem::remove_all(root);
}

void headlessMemory(sim::SimulatedPlatform& platform) {
  const BenchDir dir("vidralo-bench-memory");
  const std::string root = dir.path();
  prepareLoggedInAccount(root, platform, "902", kVideos);
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
  const double peakMb = static_cast<double>(std::max(peak, highWater)) / 1024;
  std::printf("headless program resident memory during %d videos: peak %.1f MB (sampled %.1f MB, high-water %.1f MB), "
              "target <= %.0f MB: %s; published %zu\n",
              kVideos, peakMb, static_cast<double>(peak) / 1024, static_cast<double>(highWater) / 1024,
              kResidentTargetMb, peakMb <= kResidentTargetMb ? "met" : "not met", platform.publications().size());
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
