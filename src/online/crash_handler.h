#pragma once
// The fatal-error hook of the program. A crashed process can neither show a
// window nor speak HTTP safely, so the hook only does what is safe inside a
// signal handler: it writes a crash record under "\logs" (error number, text,
// the frames' addresses and the memory map) and starts a reporter process,
// which tells the operator and sends the fault report; it never waits for
// it. The crashed process then ends as the signal's default action would
// (with a core dump where enabled); should the handling get stuck, a timer
// ends it that way after 2 seconds.
//
// Fatal errors are the crash signals SIGSEGV, SIGBUS, SIGFPE, SIGILL and
// SIGABRT (error number: the signal number, text: its name) and
// std::terminate (SIGABRT's number, text: the exception's message).
#include <optional>
#include <string>
#include <vector>

namespace vidralo {

// `reporterCommand`: the reporter's command line, to which the record's path
// is appended; empty: the own executable with "--report-fault". Installing
// again replaces the earlier installation's record path and command.
// Returns the path a crash record would be written to.
std::string installFaultReporter(std::vector<std::string> reporterCommand = {});

struct CrashRecord {
  std::string programDirectory;
  int errorNumber = 0;
  std::string errorText;
  std::string backtrace;
};

// Reads a record written by the hook; nothing when it is missing or damaged.
std::optional<CrashRecord> readCrashRecord(const std::string& path);

}  // namespace vidralo
