#pragma once
// The only way the program waits. A thread with a message pump (the GUI
// thread) keeps serving its events during the wait; any other thread simply
// waits. Every wait ends at once when the thread's stop is requested.
#include <chrono>
#include <cstdint>
#include <functional>

namespace vidralo {

// Serves the pending window messages of the thread that registered it.
class MessagePump {
 public:
  virtual ~MessagePump() = default;
  // Dispatches what is pending, waiting at most `maxWait` for something to
  // arrive; returns early once something was dispatched or the time is up.
  virtual void processEvents(std::chrono::milliseconds maxWait) = 0;
};

// Registers `pump` for the calling thread (nullptr removes it). The pump must
// outlive its registration.
void registerMessagePump(MessagePump* pump);

// Dispatches what is pending on the calling thread, if it has a pump.
void pumpPendingMessages();

// Unit: 0 milliseconds, 1 seconds, 2 minutes, 3 hours; any other value is
// itself the multiplier in milliseconds. The time runs on appClock(), so a
// test clock compresses it. True when the whole time passed; false when the
// thread's stop cut the wait short.
bool PumpedWait(double amount, int unit = 0);

// A wait of `milliseconds` that calls `check` at its start, every
// `checkEveryMs` and at its end; false as soon as a check fails or the stop
// cuts it short. The checks do not lengthen the wait.
bool PumpedWaitChecking(double milliseconds, double checkEveryMs, const std::function<bool()>& check);
// The length of a wait in milliseconds, as PumpedWait computes it.
std::int64_t waitMilliseconds(double amount, int unit);

}  // namespace vidralo
