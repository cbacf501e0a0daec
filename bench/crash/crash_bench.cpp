// Crashes the program at random moments while two CPU-bound processes run
// beside it, alternately during the window's start-up (offscreen) and during
// a headless job on the simulated page. SIGSEGV goes to a random thread of the
// program once its fault hook is installed. Every crash must end the process
// within 5 s with the signal's status, leave a crash record, and its
// reporter's fault report must reach the simulated notification service.
//
// Argument: the number of crashes (default 100).
#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "common/clock.h"
#include "common/gbk.h"
#include "common/program_dir.h"
#include "common/whole_file.h"
#include "log/run_log.h"
#include "online/crash_handler.h"
#include "services_sim/simulated_services.h"
#include "simulator/simulated_platform.h"
#include "support/logged_in_account.h"
#include "support/bench_dir.h"

namespace vidralo {
namespace {

namespace fs = std::filesystem;
using SteadyClock = std::chrono::steady_clock;
constexpr auto kEndLimit = std::chrono::seconds(5);
constexpr auto kReportLimit = std::chrono::seconds(30);

pid_t startBurner() {
  const pid_t pid = fork();
  if (pid == 0) {
    volatile unsigned long spin = 0;
    for (;;) spin = spin + 1;
  }
  return pid;
}

pid_t spawn(const std::vector<std::string>& arguments, const std::vector<std::string>& extraEnvironment) {
  const pid_t pid = fork();
  if (pid != 0) return pid;
  for (const std::string& setting : extraEnvironment) putenv(const_cast<char*>(setting.c_str()));
  const int quiet = open("/dev/null", O_WRONLY);
  dup2(quiet, 1);
  dup2(quiet, 2);
  std::vector<char*> argv;
  for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  execv(argv[0], argv.data());
  _exit(127);
}

bool runLogHas(const std::string& directory, const std::string& line) {
  setProgramDirectory(directory);
  std::string bytes;
  readWholeFile(runLogPath(localNow()), bytes);
  return gbkToUtf8(bytes).find(line) != std::string::npos;
}

std::vector<pid_t> threadsOf(pid_t pid) {
  std::vector<pid_t> threads;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator("/proc/" + std::to_string(pid) + "/task", error))
    threads.push_back(std::atoi(entry.path().filename().c_str()));
  return threads;
}

// Ends what the crashed program left behind (its browsers, a reporter that
// outlives the report): as the subreaper they are all children of this
// process now, apart from the burners.
void endLeftovers(const std::vector<pid_t>& keep) {
  for (int round = 0; round < 50; ++round) {
    std::string text;
    readWholeFile("/proc/self/task/" + std::to_string(getpid()) + "/children", text);
    bool any = false;
    for (std::size_t at = 0; at < text.size();) {
      const pid_t child = std::atoi(text.c_str() + at);
      at = text.find(' ', at);
      at = at == std::string::npos ? text.size() : at + 1;
      if (child <= 0 || std::find(keep.begin(), keep.end(), child) != keep.end()) continue;
      kill(child, SIGKILL);
      any = true;
    }
    while (waitpid(-1, nullptr, WNOHANG) > 0) {
    }
    if (!any) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

void removeCrashRecordsAndRunLog(const std::string& directory) {
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(directory + "/logs", error))
    if (entry.path().filename().string().starts_with("crash-")) fs::remove(entry.path(), error);
  setProgramDirectory(directory);
  fs::remove(runLogPath(localNow()), error);
}

bool oneGoodCrashRecord(const std::string& directory) {
  int good = 0;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(directory + "/logs", error)) {
    if (!entry.path().filename().string().starts_with("crash-")) continue;
    const auto record = readCrashRecord(entry.path().string());
    if (record && record->errorNumber == SIGSEGV && !record->backtrace.empty()) ++good;
  }
  return good == 1;
}

struct Outcome {
  bool started = false;
  double endMs = -1;  // from the signal to the process's end; -1: not within the limit
  bool crashStatus = false;
  bool record = false;
  bool report = false;
};

struct Scene {
  const char* name;
  std::string directory;
  std::vector<std::string> arguments;
  int latestCrashMs;  // the crash comes up to this long after the hook is in place
};

Outcome crashOnce(const Scene& scene, const std::vector<std::string>& environment, sim::SimulatedServices& services,
                  std::mt19937& random, const std::vector<pid_t>& keep) {
  Outcome outcome;
  removeCrashRecordsAndRunLog(scene.directory);
  const std::size_t reportsBefore = services.notifications().size();
  const pid_t pid = spawn(scene.arguments, environment);
  const auto readyBy = SteadyClock::now() + std::chrono::seconds(60);
  while (!runLogHas(scene.directory, "启动窗口线程") && SteadyClock::now() < readyBy)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  outcome.started = SteadyClock::now() < readyBy;
  std::this_thread::sleep_for(
      std::chrono::milliseconds(std::uniform_int_distribution<int>(0, scene.latestCrashMs)(random)));

  const std::vector<pid_t> threads = threadsOf(pid);
  const pid_t target = threads.empty() ? pid : threads[random() % threads.size()];
  const auto signalled = SteadyClock::now();
  syscall(SYS_tgkill, pid, target, SIGSEGV);
  int status = 0;
  while (waitpid(pid, &status, WNOHANG) == 0 && SteadyClock::now() - signalled < kEndLimit)
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  if (SteadyClock::now() - signalled < kEndLimit || waitpid(pid, &status, WNOHANG) == pid) {
    outcome.endMs = std::chrono::duration<double, std::milli>(SteadyClock::now() - signalled).count();
    outcome.crashStatus = WIFSIGNALED(status) && WTERMSIG(status) == SIGSEGV;
  } else {
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
  }
  outcome.record = oneGoodCrashRecord(scene.directory);
  const auto reportBy = SteadyClock::now() + kReportLimit;
  while (services.notifications().size() == reportsBefore && SteadyClock::now() < reportBy)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  outcome.report = services.notifications().size() > reportsBefore;
  endLeftovers(keep);
  return outcome;
}

void appendFaultConfig(const std::string& directory, const sim::SimulatedServices& services) {
  std::ofstream(directory + "/config.ini", std::ios::app)
      << "notify = " << services.notificationUrl() << "\n[fault]\nrecipient = bench@example.com\n";
}

}  // namespace
}  // namespace vidralo

int main(int argc, char** argv) {
  using namespace vidralo;
  const int crashes = argc > 1 ? std::max(1, std::atoi(argv[1])) : 100;
  // Orphans of a crashed program (its browsers, its reporter) come back here.
  prctl(PR_SET_CHILD_SUBREAPER, 1);
  const std::vector<pid_t> burners{startBurner(), startBurner()};  // before any thread starts

  sim::SimulatedPlatform platform;
  sim::SimulatedServices services;
  if (!platform.start() || !services.start()) return 1;
  const vidralo::bench::BenchDir dir("vidralo-bench-crash");
  const std::string root = dir.path();
  const std::string home = root + "/home";
  const std::string headless = root + "/headless";
  const std::string window = root + "/window";
  fs::remove_all(root);
  bench::prepareLoggedInAccount(headless, platform, "903", 5);
  appendFaultConfig(headless, services);
  fs::create_directories(window + "/data");
  std::ofstream(window + "/config.ini") << "[hosts]\n";
  appendFaultConfig(window, services);
  fs::create_directories(home + "/.config/vidralo");
  std::ofstream(home + "/.config/vidralo/vsbq.dll") << "accepted";
  const std::vector<std::string> environment{"HOME=" + home, "XDG_CONFIG_HOME=" + home + "/.config",
                                             "QT_QPA_PLATFORM=offscreen"};

  const Scene scenes[] = {
      {"window start-up", window, {VIDRALO_EXECUTABLE, "--dir", window}, 2000},
      {"headless job", headless,
       {VIDRALO_EXECUTABLE, "--headless", "--dir", headless, "--set", "编辑框_单账号上传=5", "--set",
        "选择框_自动循环=假"},
       9000},
  };
  std::mt19937 random(std::random_device{}());
  std::vector<double> endTimes;
  int ended = 0, crashStatus = 0, records = 0, reports = 0, started = 0;
  for (int i = 0; i < crashes; ++i) {
    const Scene& scene = scenes[i % 2];
    const Outcome outcome = crashOnce(scene, environment, services, random, burners);
    started += outcome.started;
    ended += outcome.endMs >= 0;
    crashStatus += outcome.crashStatus;
    records += outcome.record;
    reports += outcome.report;
    if (outcome.endMs >= 0) endTimes.push_back(outcome.endMs);
    if (outcome.endMs < 0 || !outcome.crashStatus || !outcome.record || !outcome.report)
      std::printf("crash %d (%s): ended %s, SIGSEGV status %s, record %s, report %s\n", i + 1, scene.name,
                  outcome.endMs < 0 ? "no" : "yes", outcome.crashStatus ? "yes" : "no", outcome.record ? "yes" : "no",
                  outcome.report ? "yes" : "no");
    std::fflush(stdout);
  }
  for (const pid_t burner : burners) kill(burner, SIGKILL);
  endLeftovers({});
  platform.stop();
  services.stop();
  fs::remove_all(root);

  std::sort(endTimes.begin(), endTimes.end());
  const double median = endTimes.empty() ? 0 : endTimes[endTimes.size() / 2];
  const double slowest = endTimes.empty() ? 0 : endTimes.back();
  const bool met = ended == crashes && crashStatus == crashes && records == crashes && reports == crashes;
  std::printf("crashes %d with 2 CPU-bound processes beside (hook ready in %d): ended within 5 s %d (median %.1f ms, "
              "slowest %.1f ms), ended by SIGSEGV %d, crash records %d, reports arrived %d (target: all): %s\n",
              crashes, started, ended, median, slowest, crashStatus, records, reports, met ? "met" : "not met");
  return met ? 0 : 1;
}
