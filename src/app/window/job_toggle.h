#pragma once
// The button 开始 and the hot key Ctrl+Alt+K: both start or stop the job.
#include <functional>

namespace vidralo {

class Program;

void toggleJob(Program& program);

// When a job ends by itself (not by Stop), its summary goes into the status
// bar and `afterwards` runs on the window's thread.
void showSummaryWhenJobEnds(Program& program, std::function<void()> afterwards = {});

}  // namespace vidralo
