#pragma once
#include <string>

namespace vidralo {

// `vidralo --report-fault FILE`: the reporter process that a crashed program
// starts. Reads the crash record FILE, tells the operator (a message box
// when there is a display, standard error without one) and sends the fault
// report. Returns the exit code: 0, or 1 for an unreadable record.
int runFaultReporter(const std::string& file);

}  // namespace vidralo
