#pragma once
// The elapsed-time ticker beside one video: a thread of its own that counts
// the video's seconds and shows them in the status column ("耗时：12/300").
#include <atomic>
#include <mutex>
#include <stop_token>
#include <thread>

#include "controls/control_model.h"

namespace vidralo {

class ElapsedTicker {
 public:
  // `elapsed` is shared with the job, which reads and resets it.
  ElapsedTicker(ControlModel& controls, std::atomic<int>& elapsed, int abandonLimit);
  ~ElapsedTicker();
  ElapsedTicker(const ElapsedTicker&) = delete;
  ElapsedTicker& operator=(const ElapsedTicker&) = delete;

  // Starts counting for the video of list row `row`; a ticker still running
  // is ended first.
  void start(int row);
  // Ends the ticker and waits for its thread; harmless when none runs.
  void stop();
  // Asks the ticker to end without waiting (safe from any thread).
  void requestStop();

 private:
  void elapsedTicker(std::stop_token token, int row);

  ControlModel& controls_;
  std::atomic<int>& elapsed_;
  const int abandonLimit_;
  std::mutex mutex_;
  std::jthread thread_;
};

}  // namespace vidralo
