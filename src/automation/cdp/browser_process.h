#pragma once
// Browser processes seen from outside: is one still running, which one holds
// a profile, and ending one for good.
#include <sys/types.h>

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

namespace vidralo::cdp {

// One process held by a pidfd: it names that process only, so a signal sent
// through it can never reach a later process that was given the same id.
class ProcessHandle {
 public:
  ProcessHandle() = default;
  // Holds process `pid` (empty when it cannot be opened). Only sound while
  // `pid` cannot have passed to another process: while it is our child, or
  // checked again after opening.
  static ProcessHandle open(pid_t pid);
  ~ProcessHandle();
  ProcessHandle(ProcessHandle&& other) noexcept;
  ProcessHandle& operator=(ProcessHandle&& other) noexcept;
  ProcessHandle(const ProcessHandle&) = delete;
  ProcessHandle& operator=(const ProcessHandle&) = delete;

  explicit operator bool() const { return pidfd_ >= 0; }
  pid_t pid() const { return pid_; }
  // True until the process has ended (a zombie has ended).
  bool alive() const;
  // False when the process has already ended or no process is held.
  bool kill() const;

 private:
  ProcessHandle(int pidfd, pid_t pid) : pidfd_(pidfd), pid_(pid) {}

  int pidfd_ = -1;
  pid_t pid_ = 0;
};

// True while `pid` runs. A zombie (ended, not yet reaped by whoever adopted
// it) counts as ended.
bool processAlive(pid_t pid);

// The ids of every process there is now (some may end before they are read).
std::vector<pid_t> allProcesses();

// The arguments process `pid` was started with; empty once it has ended.
std::vector<std::string> processArguments(pid_t pid);

// Every process whose command line has `argument` as one whole argument.
std::vector<pid_t> processesWithArgument(std::string_view argument);

// The main browser process running on `profileDirectory` (started with
// --user-data-dir=<profileDirectory>, not a helper with --type=); 0 if none.
pid_t findBrowserProcess(const std::string& profileDirectory);

// The same process, held: its identity is checked again after the pidfd
// pinned it, so an id that changed hands in between is never taken.
ProcessHandle holdBrowserProcess(const std::string& profileDirectory);

// True when process `pid` holds a socket listening on TCP `port` (IPv4 or
// IPv6): the browser that wrote a DevToolsActivePort file is the one that
// answers on its port.
bool listensOnPort(pid_t pid, int port);

// Waits up to `grace` for the process to end by itself, then kills it
// (SIGKILL) and waits briefly for the kernel to take it down. True when it
// is gone (or no process is held).
bool endProcess(const ProcessHandle& process, std::chrono::milliseconds grace);

}  // namespace vidralo::cdp
