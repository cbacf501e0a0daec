#include "common/pumped_wait.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>

#include "common/clock.h"
#include "common/stop.h"

namespace vidralo {
namespace {

thread_local MessagePump* threadPump = nullptr;

// How often a pumping thread looks at its queue while it waits.
constexpr std::chrono::milliseconds kPumpSlice{10};

double unitMultiplier(int unit) {
  switch (unit) {
    case 0: return 1;
    case 1: return 1000;
    case 2: return 60000;
    case 3: return 3600000;
    default: return unit;
  }
}

// Sleeps until `deadline` or until the stop of `token`, whichever is first.
void sleepUntil(std::chrono::steady_clock::time_point deadline, const std::stop_token& token) {
  std::mutex mutex;
  std::condition_variable_any wake;
  std::unique_lock lock(mutex);
  wake.wait_until(lock, token, deadline, [] { return false; });
}

// Waits until `deadline` or the stop of `token`; true when the time passed.
bool waitUntil(std::chrono::steady_clock::time_point deadline, const std::stop_token& token) {
  while (true) {
    if (token.stop_requested()) return false;
    const auto now = std::chrono::steady_clock::now();
    if (now >= deadline) return true;
    if (threadPump) {
      auto slice = std::min<std::chrono::steady_clock::duration>(deadline - now, kPumpSlice);
      // A pump may return early after dispatching; the loop re-checks the time.
      threadPump->processEvents(std::chrono::ceil<std::chrono::milliseconds>(slice));
    } else {
      sleepUntil(deadline, token);
    }
  }
}

std::chrono::steady_clock::time_point deadlineAfter(std::int64_t ms) {
  return std::chrono::steady_clock::now() + appClock().realDuration(std::chrono::milliseconds(std::max<std::int64_t>(0, ms)));
}

}  // namespace

void registerMessagePump(MessagePump* pump) { threadPump = pump; }

void pumpPendingMessages() {
  if (threadPump) threadPump->processEvents(std::chrono::milliseconds(0));
}

std::int64_t waitMilliseconds(double amount, int unit) {
  return static_cast<std::int64_t>(amount * unitMultiplier(unit));
}

bool PumpedWait(double amount, int unit) {
  const std::stop_token token = currentStopToken();
  if (token.stop_requested()) return false;
  return waitUntil(deadlineAfter(waitMilliseconds(amount, unit)), token);
}

bool PumpedWaitChecking(double milliseconds, double checkEveryMs, const std::function<bool()>& check) {
  const std::stop_token token = currentStopToken();
  // One deadline for the whole wait: the checks between slices must not add
  // their own time to it.
  const auto deadline = deadlineAfter(static_cast<std::int64_t>(milliseconds));
  const auto every = appClock().realDuration(std::chrono::microseconds(static_cast<std::int64_t>(checkEveryMs * 1000)));
  while (true) {
    if (token.stop_requested() || !check()) return false;
    const auto now = std::chrono::steady_clock::now();
    if (now >= deadline) return true;
    if (!waitUntil(std::min(deadline, now + std::chrono::ceil<std::chrono::steady_clock::duration>(every)), token))
      return false;
  }
}

}  // namespace vidralo
