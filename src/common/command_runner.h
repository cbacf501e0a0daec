#pragma once
// Runs an external command without a shell, with a time limit, and collects
// what it writes to standard output.
#include <chrono>
#include <string>
#include <vector>

namespace vidralo {

struct CommandResult {
  bool started = false;
  // The exit status; -1 when it did not exit by itself (killed at its time
  // limit or at a stop request).
  int exitCode = -1;
  std::string output;
};

// `arguments[0]` is looked up on the PATH. A command still running after
// `limit`, or when the calling thread's stop is requested, is killed.
CommandResult runCommand(const std::vector<std::string>& arguments, std::chrono::milliseconds limit);

}  // namespace vidralo
