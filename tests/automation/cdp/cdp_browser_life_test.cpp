// Browser lifetimes: a browser killed from outside, starts from two threads,
// a browser left running by an earlier run, and closing everything.
#include <gtest/gtest.h>
#include <linux/sched.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <thread>

#include "automation/cdp/browser_launch.h"
#include "automation/cdp/browser_process.h"
#include "automation/cdp/cdp_engine.h"
#include "browser_helpers.h"
#include "common/pumped_wait.h"
#include "common/stop.h"
#include "support/temp_dir.h"
#include "test_site.h"

namespace vidralo::cdp {
namespace {

using test::eventually;

// Collects the engine's log lines.
struct LogLines {
  std::mutex mutex;
  std::vector<std::string> lines;

  BrowserEngine::LogCallback callback() {
    return [this](const std::string& line) {
      std::lock_guard lock(mutex);
      lines.push_back(line);
    };
  }
  std::vector<std::string> starting(const char* prefix) {
    std::lock_guard lock(mutex);
    std::vector<std::string> found;
    for (const std::string& line : lines)
      if (line.starts_with(prefix)) found.push_back(line);
    return found;
  }
};

// A child process that took the id `pid`, asked of the kernel through
// clone3 (needs root); 0 when the id could not be had.
pid_t childWithId(pid_t pid) {
  clone_args args{};
  args.exit_signal = SIGCHLD;
  args.set_tid = reinterpret_cast<std::uintptr_t>(&pid);
  args.set_tid_size = 1;
  const long child = ::syscall(SYS_clone3, &args, sizeof args);
  if (child == 0) {
    for (;;) ::pause();
  }
  return child > 0 ? static_cast<pid_t>(child) : 0;
}

// The window thread's messages: the first one starts a browser of its own,
// as a log-in entry run on the window thread does.
class StartingPump final : public MessagePump {
 public:
  explicit StartingPump(std::function<void()> start) : start_(std::move(start)) {}
  void processEvents(std::chrono::milliseconds maxWait) override {
    if (!started_) {
      started_ = true;
      start_();
    } else {
      std::this_thread::sleep_for(std::min(maxWait, std::chrono::milliseconds(5)));
    }
  }

 private:
  std::function<void()> start_;
  bool started_ = false;
};

class BrowserLifeTest : public ::testing::Test {
 protected:
  StartOptions options(const std::string& name) const { return {dir_.file(name), "800,600", "1,1"}; }

  // A script that answers --version as a browser would and runs `body`
  // for anything else.
  std::string fakeBrowser(const std::string& name, const std::string& body) const {
    const std::string path =
        dir_.write("bin/" + name, "#!/bin/sh\n[ \"$1\" = --version ] && exec echo 'Chromium 120.0.6099.224'\n" + body);
    ::chmod(path.c_str(), 0755);
    return path;
  }

  test::TestSite site_;
  vidralo::test::TempDir dir_;
};

TEST_F(BrowserLifeTest, AKilledBrowserFailsItsPendingCommandAndReadsAsGone) {
  CdpEngine engine;
  test::BrowsersClosedAtEnd closing(engine);
  ASSERT_TRUE(engine.globalInit(""));
  const StartedBrowser started = engine.startBrowser(site_.url("/marker"), options("killed"));
  ASSERT_NE(started.sessionId, 0u);
  const pid_t pid = findBrowserProcess(dir_.file("killed"));
  ASSERT_GT(pid, 0);

  std::atomic<bool> returned{false};
  std::thread caller([&] {
    engine.navigate(started.sessionId, site_.url("/hang"));  // held back by the server
    returned = true;
  });
  ASSERT_TRUE(site_.waitHangRequested());
  ::kill(pid, SIGKILL);
  caller.join();
  EXPECT_TRUE(returned);

  EXPECT_FALSE(engine.isConnected(started.sessionId));
  EXPECT_EQ(engine.elementText(started.sessionId, "body"), "");
  EXPECT_FALSE(engine.waitPageLoaded(started.sessionId, "视频拖拽"));
  EXPECT_TRUE(engine.connectStarted().empty());
  engine.closeBrowser(started.sessionId);
  EXPECT_TRUE(eventually([&] { return !test::profileHasProcesses(dir_.file("killed")); }));
}

TEST_F(BrowserLifeTest, ACrashedPageReadsAsGoneAndTheBrowserHandsOutANewSession) {
  LogLines log;
  CdpEngine engine;
  test::BrowsersClosedAtEnd closing(engine);
  engine.setLogCallback(log.callback());
  ASSERT_TRUE(engine.globalInit(""));
  const StartedBrowser started = engine.startBrowser(site_.url("/marker"), options("crash"));
  ASSERT_TRUE(engine.waitPageLoaded(started.sessionId, "视频拖拽"));

  const std::vector<pid_t> ofProfile = processesWithArgument("--user-data-dir=" + dir_.file("crash"));
  for (pid_t renderer : processesWithArgument("--type=renderer"))
    if (std::find(ofProfile.begin(), ofProfile.end(), renderer) != ofProfile.end()) ::kill(renderer, SIGKILL);
  EXPECT_TRUE(eventually([&] { return !engine.isConnected(started.sessionId); }));
  EXPECT_FALSE(log.starting("crashed").empty());

  const std::vector<RunningBrowser> running = engine.connectStarted();
  ASSERT_EQ(running.size(), 1u);
  EXPECT_EQ(running[0].browserId, started.browserId);
  EXPECT_NE(running[0].sessionId, started.sessionId);
  engine.navigate(running[0].sessionId, site_.url("/form"));
  EXPECT_TRUE(engine.waitPageLoaded(running[0].sessionId, "ready:form"));
  // The dead tab was replaced, not talked to: no command went unanswered.
  const auto endpoint = readActivePort(dir_.file("crash"));
  ASSERT_TRUE(endpoint);
  EXPECT_TRUE(eventually([&] { return test::pageTargets(endpoint->port) == 1; }));
  EXPECT_TRUE(log.starting("Protocol error").empty());
  engine.closeBrowsers();
}

TEST_F(BrowserLifeTest, StartsAreSerialisedAndARunningBrowserIsAdoptedNotStartedTwice) {
  LogLines log;
  CdpEngine first;
  test::BrowsersClosedAtEnd closingFirst(first);
  first.setLogCallback(log.callback());
  ASSERT_TRUE(first.globalInit(""));

  StartedBrowser a, b;
  std::thread one([&] { a = first.startBrowser(site_.url("/marker"), options("a")); });
  std::thread two([&] { b = first.startBrowser(site_.url("/marker"), options("b")); });
  one.join();
  two.join();
  ASSERT_NE(a.sessionId, 0u);
  ASSERT_NE(b.sessionId, 0u);
  EXPECT_NE(a.browserId, b.browserId);
  EXPECT_NE(a.sessionId, b.sessionId);
  // Each opened on the page, not on a blank one. (A process the browser has
  // just forked still shows the browser's command line: counted by profile.)
  const std::vector<pid_t> onThePage = processesWithArgument(site_.url("/marker"));
  for (const char* name : {"a", "b"}) {
    const std::vector<pid_t> ofProfile = processesWithArgument("--user-data-dir=" + dir_.file(name));
    EXPECT_TRUE(std::ranges::any_of(onThePage, [&](pid_t pid) { return std::ranges::count(ofProfile, pid) > 0; }))
        << name;
  }

  // Each start ran from its first line to its last before the other began.
  std::vector<std::string> marks = log.starting("start");
  ASSERT_EQ(marks.size(), 4u);
  EXPECT_TRUE(marks[0].starts_with("start: ") && marks[1].starts_with("started: "));
  EXPECT_TRUE(marks[2].starts_with("start: ") && marks[3].starts_with("started: "));

  // A later run (a new engine) finds the browser of profile "a" still open.
  const pid_t running = findBrowserProcess(dir_.file("a"));
  ASSERT_GT(running, 0);
  LogLines laterLog;
  CdpEngine later;
  test::BrowsersClosedAtEnd closingLater(later);
  later.setLogCallback(laterLog.callback());
  ASSERT_TRUE(later.globalInit(""));
  const StartedBrowser adopted = later.startBrowser(site_.url("/form"), options("a"));
  ASSERT_NE(adopted.sessionId, 0u);
  EXPECT_EQ(laterLog.starting("adopting").size(), 1u);
  EXPECT_TRUE(laterLog.starting("launched").empty());
  EXPECT_EQ(findBrowserProcess(dir_.file("a")), running);
  EXPECT_TRUE(later.waitPageLoaded(adopted.sessionId, "ready:form"));
  EXPECT_EQ(later.pageUrl(adopted.sessionId), site_.url("/form"));

  const std::vector<RunningBrowser> listed = later.connectStarted();
  ASSERT_EQ(listed.size(), 1u);
  EXPECT_EQ(listed[0].profileDirectory, dir_.file("a"));

  // The same engine starting the same profile again reuses its browser.
  const StartedBrowser again = later.startBrowser(site_.url("/marker"), options("a"));
  EXPECT_EQ(again.browserId, adopted.browserId);
  EXPECT_EQ(later.connectStarted().size(), 1u);

  later.closeBrowsers();
  first.closeBrowsers();
  EXPECT_TRUE(eventually([&] {
    return !test::profileHasProcesses(dir_.file("a")) && !test::profileHasProcesses(dir_.file("b"));
  }));
  EXPECT_FALSE(first.isConnected(a.sessionId));
  EXPECT_FALSE(later.isConnected(adopted.sessionId));
  EXPECT_TRUE(first.connectStarted().empty());
}

TEST_F(BrowserLifeTest, APortFileCopiedFromAnotherProfileNeverAdoptsThatProfilesBrowser) {
  CdpEngine first;
  test::BrowsersClosedAtEnd closingFirst(first);
  ASSERT_TRUE(first.globalInit(""));
  ASSERT_NE(first.startBrowser(site_.url("/marker"), options("other")).sessionId, 0u);
  const pid_t other = findBrowserProcess(dir_.file("other"));
  ASSERT_GT(other, 0);
  // An operator copied the other account's logged-in profile, port file and all.
  std::filesystem::create_directories(dir_.file("own"));
  std::filesystem::copy_file(activePortFile(dir_.file("other")), activePortFile(dir_.file("own")));

  LogLines log;
  CdpEngine later;
  test::BrowsersClosedAtEnd closingLater(later);
  later.setLogCallback(log.callback());
  ASSERT_TRUE(later.globalInit(""));
  const StartedBrowser own = later.startBrowser(site_.url("/form"), options("own"));
  ASSERT_NE(own.sessionId, 0u);
  EXPECT_TRUE(log.starting("adopting").empty());
  EXPECT_EQ(log.starting("launched").size(), 1u);
  const pid_t ownProcess = findBrowserProcess(dir_.file("own"));
  EXPECT_GT(ownProcess, 0);
  EXPECT_NE(ownProcess, other);
  later.closeBrowsers();
  EXPECT_TRUE(processAlive(other)) << "the other account's browser is left alone";
  first.closeBrowsers();
}

TEST_F(BrowserLifeTest, AFailedStartReportsTheBrowsersOwnOutput) {
  const std::string fake = fakeBrowser("browser", "echo 'cannot open display: nowhere' >&2\nexit 1\n");
  LogLines log;
  CdpEngine engine;
  engine.setLogCallback(log.callback());
  ASSERT_TRUE(engine.globalInit(fake));
  const StartedBrowser started = engine.startBrowser(site_.url("/marker"), options("broken"));
  EXPECT_EQ(started.sessionId, 0u);
  EXPECT_EQ(started.browserId, 0u);
  const std::vector<std::string> failures = log.starting("start failed");
  ASSERT_EQ(failures.size(), 1u);
  EXPECT_NE(failures[0].find("cannot open display: nowhere"), std::string::npos);
}

TEST_F(BrowserLifeTest, AStopEndsTheWaitForAnotherThreadsStartAndTheStartItself) {
  const std::string slow = fakeBrowser("slow", "exec sleep 60\n");  // never reports a port
  CdpEngine::Config config;
  config.startTimeLimit = std::chrono::minutes(2);
  CdpEngine engine(config);
  LogLines log;
  engine.setLogCallback(log.callback());
  ASSERT_TRUE(engine.globalInit(slow));

  std::stop_source firstStop, secondStop;
  std::thread first([&] {
    StopScope scope(firstStop.get_token());
    engine.startBrowser(site_.url("/marker"), options("slow1"));
  });
  ASSERT_TRUE(eventually([&] { return !log.starting("launched").empty(); }));  // it holds the start
  StartedBrowser second{1, 1};
  std::thread waiting([&] {
    StopScope scope(secondStop.get_token());
    second = engine.startBrowser(site_.url("/marker"), options("slow2"));
  });
  secondStop.request_stop();
  waiting.join();
  EXPECT_EQ(second.sessionId, 0u);
  EXPECT_EQ(log.starting("start: ").size(), 1u);  // the second start never began

  firstStop.request_stop();
  first.join();
  const std::vector<std::string> failed = log.starting("start failed");
  ASSERT_EQ(failed.size(), 1u);
  EXPECT_NE(failed[0].find("stopped"), std::string::npos);
  const std::string launched = log.starting("launched").at(0);
  const pid_t pid = std::stoi(launched.substr(launched.find("as process ") + 11));
  EXPECT_TRUE(eventually([&] { return !processAlive(pid); }));  // an abandoned start leaves nothing behind
}

TEST_F(BrowserLifeTest, AnEndedBrowsersProcessIdTakenByAnotherProcessIsNeverSignalled) {
  CdpEngine::Config config;
  config.closeGrace = std::chrono::milliseconds(300);
  CdpEngine engine(config);
  test::BrowsersClosedAtEnd closing(engine);
  ASSERT_TRUE(engine.globalInit(""));
  const StartedBrowser started = engine.startBrowser(site_.url("/marker"), options("reused"));
  ASSERT_NE(started.sessionId, 0u);
  const pid_t browser = findBrowserProcess(dir_.file("reused"));
  ASSERT_GT(browser, 0);
  ::kill(browser, SIGKILL);
  // Collected by its parent: only then can the id pass to another process.
  ASSERT_TRUE(eventually([&] { return ::kill(browser, 0) != 0; }));
  const pid_t stranger = childWithId(browser);
  if (stranger == 0) GTEST_SKIP() << "no process could be given a chosen id (needs root)";

  engine.closeBrowser(started.sessionId);
  EXPECT_EQ(::waitpid(stranger, nullptr, WNOHANG), 0) << "the process that took the id was ended";
  ::kill(stranger, SIGKILL);
  ::waitpid(stranger, nullptr, 0);
}

TEST_F(BrowserLifeTest, AStartFromTheWindowThreadDuringAnotherStartCompletes) {
  CdpEngine engine;
  test::BrowsersClosedAtEnd closing(engine);
  ASSERT_TRUE(engine.globalInit(""));
  StartedBrowser outer, nested;
  std::atomic<bool> done{false};
  std::stop_source stop;
  std::thread window([&] {
    StopScope scope(stop.get_token());
    StartingPump pump([&] { nested = engine.startBrowser(site_.url("/marker"), options("nested")); });
    registerMessagePump(&pump);
    outer = engine.startBrowser(site_.url("/marker"), options("outer"));
    registerMessagePump(nullptr);
    done = true;
  });
  const bool finished = eventually([&] { return done.load(); }, std::chrono::seconds(60));
  if (!finished) stop.request_stop();  // a deadlock fails the test instead of hanging it
  window.join();
  EXPECT_TRUE(finished);
  EXPECT_NE(nested.sessionId, 0u);
  EXPECT_NE(outer.sessionId, 0u);
  EXPECT_NE(nested.browserId, outer.browserId);
}

TEST_F(BrowserLifeTest, APageStuckInAScriptIsGoneAfterTwoTimeOutsAndAFreshStartReplacesItsBrowser) {
  CdpEngine::Config config;
  config.commandTimeLimit = std::chrono::seconds(1);
  config.closeGrace = std::chrono::seconds(1);
  CdpEngine engine(config);
  test::BrowsersClosedAtEnd closing(engine);
  ASSERT_TRUE(engine.globalInit(""));
  const StartedBrowser stuck = engine.startBrowser(site_.url("/busy"), options("busy"));
  ASSERT_NE(stuck.sessionId, 0u);
  ASSERT_TRUE(engine.waitPageLoaded(stuck.sessionId, "ready:busy"));

  EXPECT_FALSE(engine.click(stuck.sessionId, "#spin", false));  // the click's script never returns
  EXPECT_TRUE(engine.isConnected(stuck.sessionId)) << "one time-out may be a slow page";
  EXPECT_FALSE(engine.elementExists(stuck.sessionId, "#spin"));
  EXPECT_FALSE(engine.isConnected(stuck.sessionId));

  const StartedBrowser fresh = engine.startBrowser(site_.url("/marker"), options("busy"));
  ASSERT_NE(fresh.sessionId, 0u);
  EXPECT_NE(fresh.browserId, stuck.browserId);
  EXPECT_TRUE(engine.isConnected(fresh.sessionId));
  EXPECT_TRUE(engine.waitPageLoaded(fresh.sessionId, "视频拖拽"));
}

TEST_F(BrowserLifeTest, FlagsThatWouldExposeTheBrowserAreRefused) {
  CdpEngine::Config config;
  config.extraFlags = {"--remote-debugging-address=0.0.0.0", "--remote-debugging-port=9222",
                       "-remote-allow-origins=*", "--user-data-dir=" + dir_.file("shared"), "--lang=zh-CN"};
  CdpEngine engine(config);
  LogLines log;
  engine.setLogCallback(log.callback());
  test::BrowsersClosedAtEnd closing(engine);
  ASSERT_TRUE(engine.globalInit(""));
  ASSERT_NE(engine.startBrowser(site_.url("/marker"), options("flags")).sessionId, 0u);
  const pid_t browser = findBrowserProcess(dir_.file("flags"));
  ASSERT_GT(browser, 0);
  for (std::size_t i = 0; i + 1 < config.extraFlags.size(); ++i)
    EXPECT_TRUE(processesWithArgument(config.extraFlags[i]).empty()) << config.extraFlags[i];
  const std::vector<pid_t> kept = processesWithArgument("--lang=zh-CN");
  EXPECT_NE(std::find(kept.begin(), kept.end(), browser), kept.end());
  EXPECT_EQ(log.starting("refused browser flag").size(), 4u);
}

TEST_F(BrowserLifeTest, ANamedExecutableMustAnswerAsABrowser) {
  const std::string script = dir_.write("bin/not-a-browser", "#!/bin/sh\necho hello\n");
  ::chmod(script.c_str(), 0755);
  const std::string notRunnable = dir_.write("bin/chromium", "#!/bin/sh\necho Chromium 120.0\n");  // no run bits
  CdpEngine engine;
  for (const std::string& path : {script, notRunnable, std::string("/bin/true")})
    EXPECT_FALSE(engine.globalInit(path)) << path;
  EXPECT_TRUE(engine.globalInit(findBrowserExecutable("")));
}

TEST_F(BrowserLifeTest, StartsThatCannotWorkFailAtOnce) {
  CdpEngine engine;
  ASSERT_TRUE(engine.globalInit(""));
  EXPECT_FALSE(engine.startBrowser(site_.url("/marker"), {"", "800,600", "1,1"}).sessionId);  // no profile
  EXPECT_TRUE(engine.connectStarted().empty());
  // Without a browser.
  const char* path = std::getenv("PATH");
  const std::string saved = path ? path : "";
  ::setenv("PATH", dir_.file("nothing-here").c_str(), 1);
  EXPECT_FALSE(engine.globalInit(dir_.file("no-such-browser")));
  ::setenv("PATH", saved.c_str(), 1);
  EXPECT_FALSE(engine.startBrowser(site_.url("/marker"), options("none")).sessionId);
}

}  // namespace
}  // namespace vidralo::cdp
