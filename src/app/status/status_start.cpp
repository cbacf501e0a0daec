#include "app/status/status_start.h"

#include <cstdio>

#include "app/runtime/exit_codes.h"
#include "app/runtime/runtime.h"
#include "common/app_config.h"

namespace vidralo {

int bindStatusPage(std::optional<int> commandLinePort, std::unique_ptr<StatusServer>& server) {
  const StatusListenChoice choice =
      chooseStatusListen(commandLinePort, configValue("status", "listen"), configValue("status", "token"));
  std::string refusal = choice.refusal;
  if (choice.listen) server = StatusServer::bind(*choice.listen, refusal);
  if (refusal.empty()) return kExitOk;
  std::fprintf(stderr, "%s\n", refusal.c_str());
  return kExitStatusRefused;
}

StartWatching watchRunWith(StatusServer* server) {
  if (!server) return {};
  return [server](ControlModel& controls, const Runtime& runtime) {
    return server->watch(controls, {[&runtime] { return runtime.jobRunning(); },
                                    [&runtime] { return runtime.browsersRunning(); }});
  };
}

}  // namespace vidralo
