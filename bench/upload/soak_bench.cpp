// A long run: 1,000 videos over ten accounts on the simulated upload page,
// headless Chromium, zero pauses, waits passing 20 times faster. The job,
// its history, its journal, its failure evidence, the engine log and the
// headless progress lines all run as in the program. Printed: resident
// memory, threads and open descriptors of this process after 100, 500 and
// 1,000 published videos (target: the last within 10 % of the first), and
// the bytes that logs/ and data/ grew by per video.
#include <dirent.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <string>

#include "app/headless/progress_printer.h"
#include "automation/browser_session.h"
#include "automation/cdp/cdp_engine.h"
#include "automation/engine_startup.h"
#include "common/clock.h"
#include "common/program_dir.h"
#include "simulator/simulated_platform.h"
#include "upload/job_runner.h"
#include "support/bench_dir.h"

namespace vidralo {
namespace {

constexpr int kAccounts = 10;
constexpr int kVideosPerAccount = 100;
constexpr double kTimeFactor = 20.0;

struct Sample {
  long rssKb = 0;
  long threads = 0;
  long descriptors = 0;
};

long statusField(const char* field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind(field, 0) == 0) return std::stol(line.substr(std::string(field).size()));
  return -1;
}

long openDescriptors() {
  long count = 0;
  if (DIR* dir = opendir("/proc/self/fd")) {
    while (dirent* entry = readdir(dir))
      if (entry->d_name[0] != '.') ++count;
    closedir(dir);
  }
  return count - 1;  // the listing's own
}

std::uintmax_t folderBytes(const std::filesystem::path& folder) {
  std::uintmax_t bytes = 0;
  std::error_code error;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder, error))
    if (entry.is_regular_file(error)) bytes += entry.file_size(error);
  return bytes;
}

// Ten accounts, each logged in on the platform, with a folder of videos.
void prepare(const std::string& root, sim::SimulatedPlatform& platform, ControlModel& controls) {
  std::filesystem::remove_all(root);
  std::filesystem::create_directories(root + "/data/list");
  std::ofstream(root + "/config.ini") << "[hosts]\nplatform = " << platform.origin() << "\n";
  setProgramDirectory(root);
  cdp::CdpEngine engine{cdp::CdpEngine::Config{cdp::CdpEngine::Headless::On}};
  engine.setRunDirectory(root);
  engine.globalInit("");
  for (int a = 0; a < kAccounts; ++a) {
    const std::string id = std::to_string(801 + a);
    const std::string folder = root + "/videos" + id;
    std::filesystem::create_directories(folder);
    for (int v = 0; v < kVideosPerAccount; ++v)
      std::ofstream(folder + "/v" + std::to_string(v) + ".mp4", std::ios::binary) << std::string(50'000, 'v');
    const StartedBrowser login =
        engine.startBrowser(platform.loginUrl("号" + id), {profileDirectory(id), "960,1038", "1,1"});
    engine.waitPageLoaded(login.sessionId, "视频拖拽");
    engine.closeBrowsers();
    controls.appendRow({std::to_string(a + 1), "", folder, id});
  }
}

}  // namespace
}  // namespace vidralo

int main() {
  using namespace vidralo;
  sim::SimulatedPlatform platform;
  if (!platform.start()) return 1;
  // The page's own delays run in real time while the job's waits are 20
  // times shorter: a reloaded page would not be ready for the next video.
  platform.setReadyDelayMs(0);
  const bench::BenchDir dir("vidralo-bench-soak");
  const std::string root = dir.path();
  ControlModel controls;
  prepare(root, platform, controls);
  const std::uintmax_t logsBefore = folderBytes(root + "/logs");
  const std::uintmax_t dataBefore = folderBytes(root + "/data");

  controls.setChecked(ControlId::选择框_切换账号, true);
  controls.setText(ControlId::编辑框_单账号上传, std::to_string(kVideosPerAccount));
  controls.setText(ControlId::编辑框_视频间隔, "0");
  controls.setText(ControlId::编辑框_视频间隔1, "0");
  controls.setChecked(ControlId::选择框_2账号间隔, false);
  controls.setChecked(ControlId::选择框_自动循环, false);
  // A video that hangs is given up after 30 s of real time, as an operator
  // running unattended would set it.
  controls.setChecked(ControlId::选择框_自动放弃, true);
  controls.setText(ControlId::放弃秒, std::to_string(30 * static_cast<int>(kTimeFactor)));
  controls.setChecked(ControlId::单选框_选择视频_顺序, true);
  controls.setChecked(ControlId::单选框_删除, true);

  auto previous = setClock(std::make_shared<ScaledClock>(kTimeFactor, std::chrono::system_clock::now()));
  cdp::CdpEngine::Config config{cdp::CdpEngine::Headless::On};
  config.loadTimeLimit = std::chrono::seconds(30 * static_cast<int>(kTimeFactor));  // 30 s of real time
  cdp::CdpEngine engine{config};
  engine.setRunDirectory(root);
  engine.setLogCallback(appendEngineLog);
  engine.globalInit("");

  std::mutex mutex;
  int published = 0;
  std::map<int, Sample> samples;
  const auto started = std::chrono::steady_clock::now();
  const int handle = controls.subscribe([&](const ControlChange& change) {
    if (change.property != ControlProperty::Cell || change.column != 列_今天已发) return;
    if (controls.cell(change.row, change.column).empty()) return;
    std::lock_guard lock(mutex);
    ++published;
    if (published == 100 || published == 500 || published == 1000)
      samples[published] = {statusField("VmRSS:"), statusField("Threads:"), openDescriptors()};
    if (published % 100 == 0) {
      std::fprintf(stderr, "%d videos, %.0f s\n", published,
                   std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count());
    }
  });
  {
    std::FILE* devNull = std::fopen("/dev/null", "w");
    JobRunner runner(controls, engine, SessionSettings{[page = platform.uploadPageUrl()] { return page; }, 1920, 1080, {}});
    ProgressPrinter printer(controls, devNull, [&runner] { return runner.lastFailureEvidence(); });
    runner.toggleJob();
    runner.waitUntilIdle();
    std::printf("published %d videos (platform: %zu) in %.0f s of real time; the job's summary:\n", published,
                platform.publications().size(),
                std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count());
    for (const std::string& line : runner.summary().lines()) std::printf("  %s\n", line.c_str());
    std::fclose(devNull);
  }
  controls.unsubscribe(handle);
  engine.closeBrowsers();
  setClock(previous);

  for (const auto& [count, sample] : samples)
    std::printf("after %4d videos: resident %.1f MB, %ld threads, %ld descriptors\n", count,
                static_cast<double>(sample.rssKb) / 1024, sample.threads, sample.descriptors);
  if (samples.count(100) && samples.count(1000)) {
    const Sample& first = samples[100];
    const Sample& last = samples[1000];
    const bool ok = last.rssKb <= first.rssKb * 11 / 10 && last.threads <= first.threads * 11 / 10 &&
                    last.descriptors <= first.descriptors * 11 / 10;
    std::printf("last within first + 10 %% (resident %.1f -> %.1f MB, threads %ld -> %ld, descriptors %ld -> %ld): %s\n",
                static_cast<double>(first.rssKb) / 1024, static_cast<double>(last.rssKb) / 1024, first.threads,
                last.threads, first.descriptors, last.descriptors, ok ? "met" : "not met");
  }
  const double videos = published > 0 ? published : 1;
  std::printf("growth per video: logs/ %.0f bytes, data/ %.0f bytes (logs/ %.1f MB, data/ %.1f MB in all)\n",
              static_cast<double>(folderBytes(root + "/logs") - logsBefore) / videos,
              static_cast<double>(folderBytes(root + "/data") - dataBefore) / videos,
              static_cast<double>(folderBytes(root + "/logs")) / 1e6, static_cast<double>(folderBytes(root + "/data")) / 1e6);
  platform.stop();
  std::filesystem::remove_all(root);
  return 0;
}
