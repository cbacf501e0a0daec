#pragma once
// `vidralo --headless [--dir DIR] [--set NAME=VALUE]...`: starts like the
// program does, without a window, and runs the job as a click on 开始 would.
// Progress goes to standard output, messages to standard error.
//
// Exit codes (exit_codes.h): 0 when the job ended by itself or SIGINT/SIGTERM
// stopped it (a summary is printed and the control values are saved either
// way), 10 instead when accounts were found not logged in, 3 without a
// configured platform host, 4 without a usable browser, 8 when the control
// values could not be saved (said on standard error and in the error log).
#include <functional>
#include <string>
#include <vector>

#include "app/runtime/command_line.h"
#include "app/runtime/watcher.h"
#include "controls/control_model.h"

namespace vidralo {

class Runtime;

struct HeadlessOptions {
  std::vector<ControlSetting> settings;
  // Runs once the job has ended and its summary is printed, before the
  // program ends; returns the exit code.
  std::function<int(Runtime&)> afterJob;
  // Started once the engine is ready, before the job.
  StartWatching watch;
};

// The program directory is chosen already.
int runHeadless(int argc, char** argv, const HeadlessOptions& options);

// The summary of the job that ended, one line each, on standard output.
void printSummary(const std::vector<std::string>& lines);

}  // namespace vidralo
