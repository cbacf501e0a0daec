#pragma once
// The start window's start sequence for a run without a window: the run-log
// lines, the fault reporter, the disclaimer printed while it was never
// accepted, once per program directory (nothing is asked; "\data\disclaimer-shown"
// remembers that it was printed), and the version check
// on a thread of its own, written to the run log and printed as one line. A
// newer version is announced, never downloaded or started.
#include <cstdio>
#include <thread>

namespace vidralo {

// Returns the version check's thread; it ends by itself.
std::jthread startHeadlessOnlineSteps(std::FILE* out, std::FILE* messages);

}  // namespace vidralo
