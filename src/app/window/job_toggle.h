#pragma once
// The button 开始 and the hot key Ctrl+Alt+K: both start or stop the job.
#include <functional>

namespace vidralo {

class Program;

// A start with nothing to publish for (no account, no platform address) is
// refused with a message that names what is missing.
void toggleJob(Program& program);

// When a job ends by itself (not by Stop), its summary goes into the status
// bar, where it stays until the next start, and `afterwards` runs on the
// window's thread.
void showSummaryWhenJobEnds(Program& program, std::function<void()> afterwards = {});

}  // namespace vidralo
