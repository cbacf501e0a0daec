#pragma once
// The publishing job as the window sees it: the button 开始 and the hot key
// Ctrl+Alt+K call toggleJob, which starts a job thread or stops the running
// one. Stop is cooperative: the caption changes at once, the job thread
// starts no further step, an engine call in progress is abandoned, and the
// thread ends by itself; toggleJob never waits for it.
#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "automation/browser_engine.h"
#include "automation/browser_session.h"
#include "controls/control_model.h"
#include "upload/run_summary.h"
#include "upload/titles.h"

namespace vidralo {

class JobRunner {
 public:
  JobRunner(ControlModel& controls, BrowserEngine& engine, SessionSettings sessionSettings);
  // Stops a running job and waits for its threads.
  ~JobRunner();
  JobRunner(const JobRunner&) = delete;
  JobRunner& operator=(const JobRunner&) = delete;

  // Caption "开始": starts a job (caption "停止"). Caption "停止": stops the
  // job. A job that ends by itself turns the caption back to "开始", so the
  // button never claims a job that no longer runs.
  void toggleJob();
  // Stops a running job (caption "开始"); never starts one.
  void stop();

  // Called on the job thread whenever a job thread ends, with true when it
  // ended by itself and false when it was stopped; it must not block (post
  // to the GUI thread instead).
  void setJobEndedCallback(std::function<void(bool endedByItself)> callback);
  // Changes the public IP address between accounts when 选择框_换ip is
  // checked; taken over by the next job started.
  void setIpChanger(std::function<void()> changeIp);
  // Tells whether an account's record file exists but cannot be read; such
  // accounts are passed over. Taken over by the next job started.
  void setRecordCheck(std::function<bool(const std::string& accountId)> recordUnreadable);

  // A job thread is still running (a stopped one may take until its engine
  // call returns).
  bool isRunning() const;
  // The page the job works on (0 before its first browser).
  SessionId sessionId() const { return session_.sessionId(); }
  // Blocks until no job thread runs. For tests and shutdown, not the GUI.
  void waitUntilIdle();
  // What the latest job did, per account.
  const RunSummary& summary() const { return summary_; }
  // The evidence file of the latest failure; empty before the first.
  std::string lastFailureEvidence() const;
  // The latest job ended because the publication journal could not be written.
  bool journalUnwritable() const { return journalUnwritable_; }

 private:
  // Both with mutex_ held. startJob hands back the threads of earlier jobs
  // that have returned, to be joined once the lock is released.
  [[nodiscard]] std::vector<std::jthread> startJob(int abandonLimit);
  void stopJob();
  void jobThread(std::stop_token token, int abandonLimit, std::function<void()> changeIp,
                 std::function<bool(const std::string&)> recordUnreadable);

  ControlModel& controls_;
  BrowserEngine& engine_;
  BrowserSession session_;
  TitlePool titles_;
  std::atomic<int> jobRow_{-1};
  RunSummary summary_;
  std::atomic<bool> journalUnwritable_{false};

  mutable std::mutex mutex_;
  std::condition_variable idle_;
  std::jthread current_;
  // Stopped threads that may still be finishing an engine call; joined when
  // done, never on the caller of toggleJob while they run.
  std::vector<std::jthread> retired_;
  int runningThreads_ = 0;
  std::function<void(bool)> jobEnded_;
  std::function<void()> changeIp_;
  std::function<bool(const std::string&)> recordUnreadable_;
  std::string lastEvidence_;
};

}  // namespace vidralo
