#pragma once
// `vidralo --headless [--dir DIR] [--set NAME=VALUE]...`: starts like the
// program does, without a window, and runs the job as a click on 开始 would.
// Progress goes to standard output, messages to standard error.
//
// Exit codes: 0 when the job ended by itself or SIGINT/SIGTERM stopped it
// (the control values are saved either way), 2 for a bad command line, 3
// without a configured platform host, 4 without a usable browser, 6 when the
// control values could not be saved (said on standard error and in the
// error log).
#include <optional>
#include <string>
#include <vector>

#include "controls/control_model.h"

namespace vidralo {

struct ControlSetting {
  ControlId id;
  std::string value;
};

// Parses the arguments after the program name ("--dir" already taken out).
// On a bad argument returns nothing and sets `error`.
std::optional<std::vector<ControlSetting>> parseHeadlessArguments(const std::vector<std::string>& arguments,
                                                                  std::string& error);

// Gives each control its value: edit boxes their text, check boxes and radio
// buttons "真" or "假".
void applyControlSettings(ControlModel& controls, const std::vector<ControlSetting>& settings);

bool isHeadlessRun(int argc, char** argv);

int runHeadless(int argc, char** argv);

}  // namespace vidralo
