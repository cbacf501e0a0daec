// A 256 MB file from the simulated services server (a process of its own, so
// its memory is not counted here), fetched by BlockDownloader with 2 workers,
// by `curl -o` (one connection) and by `aria2c -x2 -s2 -k1M`, in turns, seven
// rounds, each run after a sync; the median time of each and the median
// processor time (user + system) of each, compared with curl's in the same
// run. Also the peak private anonymous memory (RssAnon) of this process
// while BlockDownloader runs, sampled in a run of its own so that the
// sampling costs the timed runs nothing.
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "online/block_downloader.h"
#include "support/bench_dir.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::size_t kFileSize = 256u * 1024 * 1024;
constexpr int kRounds = 7;

pid_t spawn(std::vector<std::string> words, int outputFd = -1) {
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (outputFd >= 0) posix_spawn_file_actions_adddup2(&actions, outputFd, STDOUT_FILENO);
  pid_t child = -1;
  if (posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), environ) != 0) child = -1;
  posix_spawn_file_actions_destroy(&actions);
  return child;
}

struct Timing {
  double milliseconds = -1;  // -1: the download failed
  double cpuMilliseconds = 0;
};

double cpuMilliseconds(const rusage& usage) {
  return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
         (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

// Runs a command to its end.
Timing timedRun(const std::vector<std::string>& words) {
  const auto start = Clock::now();
  const pid_t child = spawn(words);
  int status = 0;
  rusage usage{};
  Timing timing;
  if (child < 0 || wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
    return timing;
  timing.milliseconds = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
  timing.cpuMilliseconds = cpuMilliseconds(usage);
  return timing;
}

std::int64_t rssAnonKiB() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("RssAnon:", 0) == 0) return std::atoll(line.c_str() + 8);
  return -1;
}

struct DownloaderRun {
  Timing timing;
  std::int64_t peakAnonKiB = 0;
};

double ownCpuMilliseconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return cpuMilliseconds(usage);
}

DownloaderRun runDownloader(const std::string& url, std::string path, bool sampleMemory) {
  vidralo::BlockDownloader downloader;
  std::atomic<int> finalState{1};
  std::atomic<bool> running{true};
  DownloaderRun run;
  std::thread sampler([&] {
    while (running && sampleMemory) {
      run.peakAnonKiB = std::max(run.peakAnonKiB, rssAnonKiB());
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  });
  const auto start = Clock::now();
  const double cpuAtStart = ownCpuMilliseconds();
  const int task = downloader.start(url, path, 2, [&](int, int state, std::int64_t, std::int64_t) {
    if (state != vidralo::kDownloadProgress) finalState = state;
  });
  if (task > 0) downloader.wait(task);
  const double elapsed = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
  const double cpu = ownCpuMilliseconds() - cpuAtStart;
  running = false;
  sampler.join();
  if (finalState == vidralo::kDownloadFinished) run.timing = {elapsed, cpu};
  return run;
}

bool sameBytes(const std::string& a, const std::string& b) {
  std::ifstream x(a, std::ios::binary), y(b, std::ios::binary);
  std::vector<char> bx(1 << 20), by(1 << 20);
  while (x && y) {
    x.read(bx.data(), static_cast<std::streamsize>(bx.size()));
    y.read(by.data(), static_cast<std::streamsize>(by.size()));
    if (x.gcount() != y.gcount() || std::memcmp(bx.data(), by.data(), static_cast<std::size_t>(x.gcount())) != 0)
      return false;
  }
  return x.eof() && y.eof();
}

// The median time and, apart, the median processor time.
Timing median(std::vector<Timing> runs) {
  std::sort(runs.begin(), runs.end(), [](const Timing& a, const Timing& b) { return a.milliseconds < b.milliseconds; });
  Timing middle = runs[runs.size() / 2];
  std::sort(runs.begin(), runs.end(),
            [](const Timing& a, const Timing& b) { return a.cpuMilliseconds < b.cpuMilliseconds; });
  middle.cpuMilliseconds = runs[runs.size() / 2].cpuMilliseconds;
  return middle;
}

const char* verdict(bool met) { return met ? "met" : "not met"; }

}  // namespace

int main() {
  const vidralo::bench::BenchDir dir("vidralo-bench-download");
  const std::filesystem::path folder = dir.path();
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  const std::string source = (folder / "source.bin").string();
  {
    std::mt19937_64 random(42);
    std::vector<std::uint64_t> chunk((1 << 20) / sizeof(std::uint64_t));
    std::ofstream out(source, std::ios::binary);
    for (std::size_t written = 0; written < kFileSize; written += 1 << 20) {
      for (auto& word : chunk) word = random();
      out.write(reinterpret_cast<const char*>(chunk.data()), 1 << 20);
    }
  }

  int pipeFds[2];
  if (pipe(pipeFds) != 0) return 1;
  const pid_t server = spawn({SERVICES_SIM, "--file", "big.bin=" + source}, pipeFds[1]);
  close(pipeFds[1]);
  std::string url;
  {
    FILE* out = fdopen(pipeFds[0], "r");
    char line[512];
    while (url.empty() && std::fgets(line, sizeof line, out)) {
      if (std::strncmp(line, "mirror1 ", 8) != 0) continue;
      url = std::string(line + 8, std::strcspn(line + 8, "\n")) + "files/big.bin";
    }
    std::fclose(out);
  }
  if (server < 0 || url.empty()) {
    std::fprintf(stderr, "the services simulator did not start\n");
    return 1;
  }

  const std::string target = (folder / "out.bin").string();
  std::vector<Timing> ours, curl, aria;
  std::int64_t peakAnon = 0;
  bool identical = true;
  const auto check = [&] { identical = identical && sameBytes(source, target); };
  const std::vector<std::function<void()>> contenders = {
      [&] { curl.push_back(timedRun({"curl", "-s", "-o", target, url})); },
      [&] {
        aria.push_back(timedRun({"aria2c", "-q", "-x2", "-s2", "-k1M", "--allow-overwrite=true", "-d",
                                 folder.string(), "-o", "out.bin", url}));
      },
      [&] { ours.push_back(runDownloader(url, target, false).timing); }};
  // Each round starts with another contender, so none always runs first.
  for (int round = 0; round < kRounds; ++round) {
    for (std::size_t turn = 0; turn < contenders.size(); ++turn) {
      std::filesystem::remove(target);
      // Every contender starts with no dirty pages waiting for the disk, so
      // none pays for the writing of the one before.
      sync();
      contenders[(round + turn) % contenders.size()]();
      check();
    }
  }
  std::filesystem::remove(target);
  peakAnon = runDownloader(url, target, true).peakAnonKiB;
  check();
  kill(server, SIGTERM);
  waitpid(server, nullptr, 0);
  std::filesystem::remove_all(folder);

  const Timing a = median(ours), c = median(curl), r = median(aria);
  if (a.milliseconds < 0 || c.milliseconds < 0 || r.milliseconds < 0) std::printf("a download failed (time -1)\n");
  std::printf("256 MB from a local server, median of %d rounds; all files identical: %s\n", kRounds,
              identical ? "yes" : "NO");
  std::printf("  BlockDownloader, 2 workers: %8.1f ms  (cpu %6.1f ms)\n", a.milliseconds, a.cpuMilliseconds);
  std::printf("  curl -o:                    %8.1f ms  (cpu %6.1f ms)\n", c.milliseconds, c.cpuMilliseconds);
  std::printf("  aria2c -x2 -s2 -k1M:        %8.1f ms  (cpu %6.1f ms)\n", r.milliseconds, r.cpuMilliseconds);
  std::printf("  aria2c / BlockDownloader time = %.2f  (target >= 1.00: %s)\n", r.milliseconds / a.milliseconds,
              verdict(a.milliseconds <= r.milliseconds));
  std::printf("  curl / BlockDownloader time   = %.2f  (target >= 1.00: %s)\n", c.milliseconds / a.milliseconds,
              verdict(a.milliseconds <= c.milliseconds));
  std::printf("  BlockDownloader / curl cpu    = %.2f  (target <= 1.10: %s)\n", a.cpuMilliseconds / c.cpuMilliseconds,
              verdict(a.cpuMilliseconds <= 1.1 * c.cpuMilliseconds));
  std::printf("  peak RssAnon while downloading: %.1f MB  (target < 20 MB: %s)\n", peakAnon / 1024.0,
              verdict(peakAnon < 20 * 1024));
  return 0;
}
