#pragma once
// Browser processes seen from outside: is one still running, which one holds
// a profile, and ending one for good.
#include <sys/types.h>

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

namespace vidralo::cdp {

// True while `pid` runs. A zombie (ended, not yet reaped by whoever adopted
// it) counts as ended.
bool processAlive(pid_t pid);

// Every process whose command line has `argument` as one whole argument.
std::vector<pid_t> processesWithArgument(std::string_view argument);

// The main browser process running on `profileDirectory` (started with
// --user-data-dir=<profileDirectory>, not a helper with --type=); 0 if none.
pid_t findBrowserProcess(const std::string& profileDirectory);

// Waits up to `grace` for `pid` to end by itself, then kills it (SIGKILL)
// and waits briefly for the kernel to take it down. True when it is gone.
bool endProcess(pid_t pid, std::chrono::milliseconds grace);

}  // namespace vidralo::cdp
