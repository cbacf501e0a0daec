#pragma once
// The start window's start sequence for a run without a window: the run-log
// lines, the fault reporter, the disclaimer printed when it was never
// accepted (nothing is asked and no marker written), and the version check
// on a thread of its own, written to the run log and printed as one line. A
// newer version is announced, never downloaded or started.
#include <cstdio>
#include <thread>

namespace vidralo {

// Returns the version check's thread; it ends by itself, or at once when its
// stop is requested.
std::jthread startHeadlessOnlineSteps(std::FILE* out, std::FILE* messages);

}  // namespace vidralo
