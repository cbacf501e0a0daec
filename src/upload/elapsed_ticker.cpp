#include "upload/elapsed_ticker.h"

#include "common/pumped_wait.h"
#include "common/stop.h"
#include "common/text_rules.h"

namespace vidralo {

ElapsedTicker::ElapsedTicker(ControlModel& controls, std::atomic<int>& elapsed, int abandonLimit)
    : controls_(controls), elapsed_(elapsed), abandonLimit_(abandonLimit) {}

ElapsedTicker::~ElapsedTicker() { stop(); }

void ElapsedTicker::start(int row) {
  stop();
  std::lock_guard lock(mutex_);
  thread_ = std::jthread([this, row](std::stop_token token) { elapsedTicker(std::move(token), row); });
}

void ElapsedTicker::stop() {
  std::jthread ending;
  {
    std::lock_guard lock(mutex_);
    ending = std::move(thread_);
  }
  // The jthread's destructor requests the stop and joins, outside the lock,
  // so a concurrent requestStop never waits for the join.
}

void ElapsedTicker::requestStop() {
  std::lock_guard lock(mutex_);
  if (thread_.joinable()) thread_.request_stop();
}

void ElapsedTicker::elapsedTicker(std::stop_token token, int row) {
  StopScope scope(token);
  do {
    const int seconds = ++elapsed_;
    controls_.setCell(row, 列_状态, "耗时：" + numberToText(seconds) + "/" + numberToText(abandonLimit_));
  } while (PumpedWait(1, 1));
}

}  // namespace vidralo
