// The status page with 2,000 accounts and 10,000 history rows:
// 1. 50 clients polling /api/status for 10 s over loopback: p50 and p99
//    latency, and the resident memory the page adds to the program;
// 2. the job's per-video overhead on the simulated page without polling, with
//    the 50 clients polling at the page's pace, and with them asking back to
//    back, in one run.
// The clients run in a child process forked before any thread, so their
// memory and threads do not count as the page's.
#include <httplib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "history/history_facts.h"
#include "history/history_store.h"
#include "app/status/status_server.h"
#include "automation/cdp/cdp_engine.h"
#include "job_timing.h"
#include "support/logged_in_account.h"
#include "support/history_seed.h"
#include "support/bench_dir.h"

namespace vidralo {
namespace {

using namespace bench;
constexpr int kAccounts = 2000;
constexpr int kRowsPerAccount = 5;
constexpr int kClients = 50;
constexpr int kVideosPerPhase = 5;  // per job, plus one that also starts the browser
constexpr auto kLatencyPhase = std::chrono::seconds(10);

constexpr int kBackToBack = 0;
constexpr int kPagePace = 2000;  // ms, as the page refreshes

// The child's side: "poll PORT INTERVAL_MS" starts the clients (each asks
// again INTERVAL_MS after its last question began), "stop" ends them and
// answers "p50 p99 requests errors" (milliseconds), "quit" ends the child.
[[noreturn]] void runClients(int commands, int answers) {
  FILE* in = fdopen(commands, "r");
  FILE* out = fdopen(answers, "w");
  char line[64];
  while (std::fgets(line, sizeof line, in)) {
    int port = 0, interval = 0;
    if (std::sscanf(line, "poll %d %d", &port, &interval) != 2) break;
    std::atomic<bool> stop{false};
    std::atomic<long> errors{0};
    std::vector<std::vector<double>> latencies(kClients);
    std::vector<std::thread> clients;
    for (int c = 0; c < kClients; ++c)
      clients.emplace_back([&, c] {
        // As a browser asks; the answer is timed as it arrives, not unpacked.
        httplib::Client client("127.0.0.1", port);
        client.set_decompress(false);
        while (!stop) {
          const auto start = SteadyClock::now();
          const httplib::Result result = client.Get("/api/status", {{"Accept-Encoding", "gzip"}});
          if (!result || result->status != 200) ++errors;
          latencies[c].push_back(std::chrono::duration<double, std::milli>(SteadyClock::now() - start).count());
          const auto next = start + std::chrono::milliseconds(interval);
          while (!stop && SteadyClock::now() < next) std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
      });
    std::fgets(line, sizeof line, in);  // "stop"
    stop = true;
    for (std::thread& client : clients) client.join();
    std::vector<double> all;
    for (const auto& some : latencies) all.insert(all.end(), some.begin(), some.end());
    std::sort(all.begin(), all.end());
    const auto at = [&](double share) { return all.empty() ? 0.0 : all[static_cast<std::size_t>(share * (all.size() - 1))]; };
    std::fprintf(out, "%.2f %.2f %zu %ld\n", at(0.5), at(0.99), all.size(), errors.load());
    std::fflush(out);
  }
  _exit(0);
}

class Clients {
 public:
  Clients() {
    int toChild[2], fromChild[2];
    if (pipe(toChild) != 0 || pipe(fromChild) != 0) std::exit(1);
    pid_ = fork();
    if (pid_ == 0) {
      close(toChild[1]);
      close(fromChild[0]);
      runClients(toChild[0], fromChild[1]);
    }
    close(toChild[0]);
    close(fromChild[1]);
    commands_ = fdopen(toChild[1], "w");
    answers_ = fdopen(fromChild[0], "r");
  }
  ~Clients() {
    std::fprintf(commands_, "quit\n");
    std::fclose(commands_);
    waitpid(pid_, nullptr, 0);
    std::fclose(answers_);
  }
  void start(int port, int intervalMs) {
    std::fprintf(commands_, "poll %d %d\n", port, intervalMs);
    std::fflush(commands_);
  }
  struct Figures {
    double p50 = 0, p99 = 0;
    long requests = 0, errors = 0;
  };
  Figures stop() {
    std::fprintf(commands_, "stop\n");
    std::fflush(commands_);
    Figures figures;
    if (std::fscanf(answers_, "%lf %lf %ld %ld", &figures.p50, &figures.p99, &figures.requests, &figures.errors) != 4)
      figures.errors = -1;
    return figures;
  }

 private:
  pid_t pid_ = -1;
  FILE* commands_ = nullptr;
  FILE* answers_ = nullptr;
};

void seedAccounts(ControlModel& controls, const std::string& benchFolder) {
  std::vector<test::SeedRow> rows;
  for (int a = 0; a < kAccounts - 1; ++a) {
    const std::string id = std::to_string(10000 + a);
    controls.appendRow({std::to_string(a + 1), "账号" + id, "/nonexistent/" + id, id, "", "", "3"});
    for (int r = 0; r < kRowsPerAccount; ++r)
      rows.push_back({"2026-12-0" + std::to_string(1 + r) + " 10:00:00", id, "标题" + std::to_string(r),
                      r == 4 ? AttemptOutcome::Failed : AttemptOutcome::Published, r == 4 ? "publish" : ""});
  }
  controls.appendRow({std::to_string(kAccounts), "", benchFolder, "999"});
  test::seedHistory(historyDatabasePath(), rows);
}

const char* met(bool yes) { return yes ? "met" : "not met"; }

// One job of kVideosPerPhase + 1 videos on the last account of the list.
double jobOverhead(ControlModel& controls, CountingEngine& engine, const std::string& uploadPageUrl) {
  controls.setCaption(ControlId::开始, "开始");  // the last job ended by itself and left "停止"
  controls.setText(ControlId::编辑框_账号序列, std::to_string(kAccounts));
  controls.setCell(kAccounts - 1, 列_今天已发, "");
  return median(timedJobOverheads(controls, engine, uploadPageUrl));
}

struct Resident {
  long total = 0, anonymous = 0, files = 0;  // kB
  static Resident now() {
    return {residentKb(getpid(), "VmRSS:"), residentKb(getpid(), "RssAnon:"), residentKb(getpid(), "RssFile:")};
  }
};

void latencyAndMemory(Clients& clients, int port, const Resident& before) {
  std::atomic<bool> sampling{true};
  std::mutex peakMutex;
  Resident peak = before;
  std::thread sampler([&] {
    while (sampling) {
      const Resident now = Resident::now();
      std::lock_guard lock(peakMutex);
      if (now.total > peak.total) peak = now;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
  });
  clients.start(port, kBackToBack);
  std::this_thread::sleep_for(kLatencyPhase);
  const Clients::Figures polled = clients.stop();
  sampling = false;
  sampler.join();
  std::printf("/api/status, %d accounts, %d clients asking back to back for %lld s: p50 %.2f ms, p99 %.2f ms "
              "(target p99 <= 20 ms: %s); %ld requests, %ld failed\n",
              kAccounts, kClients, static_cast<long long>(kLatencyPhase.count()), polled.p50, polled.p99,
              met(polled.p99 <= 20 && polled.errors == 0), polled.requests, polled.errors);
  const auto mb = [](long kb) { return static_cast<double>(kb) / 1024; };
  const double added = mb(peak.total - before.total);
  // Library code (SQLite, zlib, prometheus-cpp) first touched by the page
  // counts as file pages; its data and threads as anonymous memory.
  std::printf("resident memory added by the page at its peak: %.1f MB (target <= 5 MB: %s): %.1f MB anonymous, "
              "%.1f MB library and file pages\n",
              added, met(added <= 5), mb(peak.anonymous - before.anonymous), mb(peak.files - before.files));
}

// Three jobs one after the other: no polling, 50 clients at the page's pace
// (every 2 s each), 50 clients back to back.
void overheadWithAndWithoutPolling(Clients& clients, int port, ControlModel& controls, CountingEngine& engine,
                                   sim::SimulatedPlatform& platform) {
  const double quiet = jobOverhead(controls, engine, platform.uploadPageUrl());
  clients.start(port, kPagePace);
  const double paced = jobOverhead(controls, engine, platform.uploadPageUrl());
  const Clients::Figures pacedFigures = clients.stop();
  clients.start(port, kBackToBack);
  const double flooded = jobOverhead(controls, engine, platform.uploadPageUrl());
  const Clients::Figures floodFigures = clients.stop();
  std::printf("per-video overhead, median of %d videos each: %.1f ms without polling, %.1f ms with %d clients "
              "polling every 2 s (%ld requests): %+.1f ms (target <= 5 ms: %s); %.1f ms with them asking back to back "
              "(%ld requests): %+.1f ms; published %zu\n",
              kVideosPerPhase, quiet, paced, kClients, pacedFigures.requests, paced - quiet, met(paced - quiet <= 5),
              flooded, floodFigures.requests, flooded - quiet, platform.publications().size());
}

}  // namespace
}  // namespace vidralo

// Arguments: "latency", "overhead" or nothing for both.
int main(int argc, char** argv) {
  using namespace vidralo;
  const std::string only = argc > 1 ? argv[1] : "";
  Clients clients;  // forked first, while this process has one thread
  sim::SimulatedPlatform platform;
  if (!platform.start()) return 1;
  const vidralo::bench::BenchDir dir("vidralo-bench-status");
  const std::string root = dir.path();
  const std::string folder = prepareLoggedInAccount(root, platform, "999", 3 * (kVideosPerPhase + 1));
  ControlModel controls;
  seedAccounts(controls, folder);
  controls.setText(ControlId::编辑框_单账号上传, std::to_string(kVideosPerPhase + 1));
  controls.setText(ControlId::编辑框_视频间隔, "0");
  controls.setText(ControlId::编辑框_视频间隔1, "0");
  controls.setChecked(ControlId::选择框_自动循环, false);
  controls.setChecked(ControlId::单选框_选择视频_顺序, true);
  cdp::CdpEngine real{cdp::CdpEngine::Config{cdp::CdpEngine::Headless::On}};
  real.setRunDirectory(root);
  real.globalInit("");
  CountingEngine engine(real);

  const Resident before = Resident::now();
  std::string error;
  std::unique_ptr<StatusServer> server = StatusServer::bind({"127.0.0.1", 0}, error);
  if (!server) return 1;
  const std::unique_ptr<WatchHandle> watching =
      server->watch(controls, {[] { return true; }, [&real] { return real.browserCount(); }});
  if (only.empty() || only == "latency") latencyAndMemory(clients, server->port(), before);
  if (only.empty() || only == "overhead") overheadWithAndWithoutPolling(clients, server->port(), controls, engine, platform);
  platform.stop();
  std::filesystem::remove_all(root);
  return 0;
}
