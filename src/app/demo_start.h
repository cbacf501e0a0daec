#pragma once
// `vidralo --demo`: publishes six generated videos of two accounts on the
// simulated platform, in the window when there is a display (the browser
// visible, so the page can be watched being driven) and as the headless run
// otherwise or with --headless. When the job ends it shows what the
// platform recorded.
#include "app/runtime/command_line.h"

namespace vidralo {

// Returns the exit code: 0 when the headless demo published all six videos.
int runDemo(int argc, char** argv, const CommandLine& line);

}  // namespace vidralo
