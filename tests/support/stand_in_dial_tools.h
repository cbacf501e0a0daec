#pragma once
// Stand-ins for the dial-up tools nmcli, pon and poff that answer as the real
// ones do. Their state lives in the folder named by the environment variable
// VIDRALO_STANDIN:
//   calls           every call, one "TOOL ARGS" line each
//   active          the names of the active NetworkManager connections
//   nm-running      "running" makes nmcli report NetworkManager as running
//   secret, secret-mode, secret-path
//                   a copy of the last password or options file handed over,
//                   its mode and its path
//   run/ppp-NAME.pid, run/lo.pid, proc/4242/cmdline
//                   pppd's link file (with linkname), interface pid file and
//                   process entry after pon (the link is the loopback
//                   interface), removed by poff
//   not-root        makes pon refuse linkname, as pppd does for a user
//                   other than root
#include <string>

#include "support/temp_dir.h"

namespace vidralo::test {

// Writes the stand-ins into dir/bin, puts that folder in front of PATH and
// names `dir` in VIDRALO_STANDIN while it lives; child processes inherit both.
class StandInDialTools {
 public:
  explicit StandInDialTools(const TempDir& dir);
  ~StandInDialTools();
  StandInDialTools(const StandInDialTools&) = delete;
  StandInDialTools& operator=(const StandInDialTools&) = delete;

 private:
  std::string previousPath_;
};

}  // namespace vidralo::test
