#include "upload/job_runner.h"

#include <algorithm>

#include "common/stop.h"
#include "common/text_rules.h"
#include "upload/job.h"

namespace vidralo {

JobRunner::JobRunner(ControlModel& controls, BrowserEngine& engine, SessionSettings sessionSettings)
    : controls_(controls), engine_(engine), session_(engine, controls, std::move(sessionSettings)) {}

JobRunner::~JobRunner() {
  std::vector<std::jthread> threads;
  {
    std::lock_guard lock(mutex_);
    threads = std::move(retired_);
    threads.push_back(std::move(current_));
  }
  // Each jthread requests its stop and joins here.
}

void JobRunner::toggleJob() {
  // A limit typed as a negative number means no limit, as 0 does.
  const int abandonLimit =
      controls_.checked(ControlId::选择框_自动放弃) ? std::max(0, toInteger(controls_.text(ControlId::放弃秒))) : 0;
  std::vector<std::jthread> finished;
  // The caption changes under the lock, so that a job ending by itself at
  // the same moment cannot turn it back after this decision.
  std::lock_guard lock(mutex_);
  const std::string caption = controls_.caption(ControlId::开始);
  if (caption == "开始") {
    controls_.setCaption(ControlId::开始, "停止");
    finished = startJob(abandonLimit);
  } else if (caption == "停止") {
    controls_.setCaption(ControlId::开始, "开始");
    stopJob();
  }
}

void JobRunner::stop() {
  std::lock_guard lock(mutex_);
  controls_.setCaption(ControlId::开始, "开始");
  stopJob();
}

std::vector<std::jthread> JobRunner::startJob(int abandonLimit) {
  std::vector<std::jthread> finished;
  if (current_.joinable()) {
    current_.request_stop();
    retired_.push_back(std::move(current_));
  }
  // With no job thread left running, the retired ones are only returning.
  if (runningThreads_ == 0) finished = std::move(retired_);
  ++runningThreads_;
  summary_.begin();
  journalUnwritable_ = false;
  current_ = std::jthread(
      [this, abandonLimit, changeIp = changeIp_, recordUnreadable = recordUnreadable_](std::stop_token token) {
        jobThread(std::move(token), abandonLimit, changeIp, recordUnreadable);
      });
  return finished;
}

void JobRunner::stopJob() {
  if (!current_.joinable()) return;
  current_.request_stop();
  retired_.push_back(std::move(current_));
}

void JobRunner::jobThread(std::stop_token token, int abandonLimit, std::function<void()> changeIp,
                          std::function<bool(const std::string&)> recordUnreadable) {
  {
    StopScope scope(token);
    auto evidenceWritten = [this](const std::string& path) {
      std::lock_guard lock(mutex_);
      lastEvidence_ = path;
    };
    Job job(JobContext{controls_, engine_, session_, titles_, jobRow_, std::move(changeIp), std::move(recordUnreadable),
                       summary_, evidenceWritten, journalUnwritable_},
            abandonLimit);
    job.run();
  }
  std::function<void(bool)> ended;
  bool endedByItself = false;
  {
    std::lock_guard lock(mutex_);
    --runningThreads_;
    // Stop, a newer start and the destructor all request this thread's stop
    // under the lock: without one, this is still the job the button shows.
    endedByItself = !token.stop_requested();
    if (endedByItself) controls_.setCaption(ControlId::开始, "开始");
    ended = jobEnded_;
  }
  idle_.notify_all();
  if (ended) ended(endedByItself);
}

void JobRunner::setJobEndedCallback(std::function<void(bool)> callback) {
  std::lock_guard lock(mutex_);
  jobEnded_ = std::move(callback);
}

void JobRunner::setIpChanger(std::function<void()> changeIp) {
  std::lock_guard lock(mutex_);
  changeIp_ = std::move(changeIp);
}

void JobRunner::setRecordCheck(std::function<bool(const std::string& accountId)> recordUnreadable) {
  std::lock_guard lock(mutex_);
  recordUnreadable_ = std::move(recordUnreadable);
}

std::string JobRunner::lastFailureEvidence() const {
  std::lock_guard lock(mutex_);
  return lastEvidence_;
}

bool JobRunner::isRunning() const {
  std::lock_guard lock(mutex_);
  return runningThreads_ > 0;
}

void JobRunner::waitUntilIdle() {
  std::vector<std::jthread> finished;
  {
    std::unique_lock lock(mutex_);
    idle_.wait(lock, [this] { return runningThreads_ == 0; });
    finished = std::move(retired_);
  }
}

}  // namespace vidralo
