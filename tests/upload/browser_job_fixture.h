#pragma once
// Shared setup of the job's tests against a real headless Chromium on the
// simulated upload page: a program directory of its own, the platform, the
// engine, the account list, a compressed clock, and what a test needs to
// look at from outside (browser processes, threads and descriptors of this
// process, the history of list cells).
#include <gtest/gtest.h>
#include <sys/types.h>

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "automation/browser_session.h"
#include "automation/cdp/cdp_engine.h"
#include "common/clock.h"
#include "controls/control_model.h"
#include "simulator/simulated_platform.h"
#include "support/temp_dir.h"
#include "upload/job_runner.h"

namespace vidralo::sim {
// Readable publications in test failures.
inline void PrintTo(const Publication& p, std::ostream* out) {
  *out << "{" << p.nickname << ", " << p.fileName << ", " << p.byteSize << ", " << p.title << "}";
}
}  // namespace vidralo::sim

namespace vidralo::test {

struct VideoFile {
  std::string name;
  std::size_t size = 0;
};

class BrowserJobTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Installs a clock `factor` times faster than real time. Only while no
  // browser and no job runs; the clock stays alive until the test ends.
  void useClockFactor(double factor);

  // Logs the account's profile in, as an operator does once by hand, writes
  // its videos into "videos<id>" and appends its list row. A browser kept
  // open is taken over by the job's first video of the account.
  void addAccount(const std::string& id, const std::string& nickname, const std::vector<VideoFile>& videos,
                  bool keepBrowserOpen = false);
  std::string videoFolder(const std::string& id) const { return dir.file("videos" + id); }
  SessionSettings sessionSettings() const;

  // One turn per account, sequential order, no pauses, no loop: the job
  // ends by itself.
  void publishOnceThrough(int videosPerAccount);
  // Starts a job and waits until it has ended.
  void runJob();

  TempDir dir;
  sim::SimulatedPlatform platform;
  // The page the job opens; the platform's upload page when empty.
  std::string uploadPage;
  cdp::CdpEngine engine{cdp::CdpEngine::Config{cdp::CdpEngine::Headless::On}};
  ControlModel controls;

 private:
  std::unique_ptr<JobRunner> runner_;
  std::shared_ptr<const Clock> previousClock_;
  std::vector<std::shared_ptr<const Clock>> installedClocks_;
};

// Every change of one list column, as the texts the cell took, in order.
// `onChange` runs on the writing thread right after each change, before
// that thread goes on.
class CellHistory {
 public:
  CellHistory(ControlModel& controls, int row, int column,
              std::function<void(const std::string&)> onChange = nullptr);
  ~CellHistory();
  CellHistory(const CellHistory&) = delete;
  CellHistory& operator=(const CellHistory&) = delete;

  std::vector<std::string> texts() const;
  // The texts that begin with `prefix`, in order.
  std::vector<std::string> textsStartingWith(const std::string& prefix) const;
  bool contains(const std::string& text) const;
  // Waits (real time, at most `seconds`) until the cell has taken `text`.
  bool waitFor(const std::string& text, int seconds) const;

 private:
  ControlModel& controls_;
  const int row_;
  const int column_;
  std::function<void(const std::string&)> onChange_;
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  std::vector<std::string> texts_;
  int handle_ = 0;
};

// Live processes (zombies count as ended) whose command line mentions
// `profileDirectory`: a browser and all its helpers.
std::vector<pid_t> processesOnProfile(const std::string& profileDirectory);
// Waits (real time, at most `seconds`) until no process mentions the
// profile; helpers end a moment after their browser. True when none is left.
bool noProcessLeftOn(const std::string& profileDirectory, int seconds = 15);

// Entries of a /proc folder of this process ("/proc/self/task", "/proc/self/fd").
int procEntryCount(const char* folder);
// Waits (real time, at most `seconds`) until `count()` is at most `limit`, and
// returns the last count; lets connections that the other side has just
// closed be taken down. A limit rather than an exact figure: a thread or
// descriptor that was still winding down when the limit was counted may end
// later too.
int settledCount(const std::function<int()>& count, int limit, int seconds = 10);

}  // namespace vidralo::test
