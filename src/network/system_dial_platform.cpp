#include "network/system_dial_platform.h"

#include "common/command_runner.h"
#include "network/network_manager_platform.h"
#include "network/pppd_platform.h"

namespace vidralo {

std::unique_ptr<DialPlatform> systemDialPlatform() {
  using namespace std::chrono_literals;
  const CommandResult state = runCommand({"nmcli", "-t", "-g", "RUNNING", "general"}, 10s);
  if (state.output.starts_with("running")) return std::make_unique<NetworkManagerPlatform>();
  return std::make_unique<PppdPlatform>();
}

}  // namespace vidralo
