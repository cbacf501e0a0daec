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
  const std::string caption = controls_.caption(ControlId::开始);
  if (caption == "开始") {
    controls_.setCaption(ControlId::开始, "停止");
    startJob(abandonLimit);
  } else if (caption == "停止") {
    controls_.setCaption(ControlId::开始, "开始");
    stopJob();
  }
}

void JobRunner::startJob(int abandonLimit) {
  std::vector<std::jthread> finished;
  std::lock_guard lock(mutex_);
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
}

void JobRunner::stopJob() {
  std::lock_guard lock(mutex_);
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
  std::function<void()> ended;
  {
    std::lock_guard lock(mutex_);
    --runningThreads_;
    ended = jobEnded_;
  }
  idle_.notify_all();
  if (ended) ended();
}

void JobRunner::setJobEndedCallback(std::function<void()> callback) {
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
