// vidralo-status.so: the status page as the entry asks for it
// (front_end_modules.h).
#include "app/runtime/exit_codes.h"
#include "app/runtime/front_end_modules.h"
#include "app/status/status_start.h"

namespace vidralo {
namespace {

// The server lives in the watching hook, so the page answers as long as the
// entry keeps the hook.
int bindPage(std::optional<int> commandLinePort, StartWatching& watch) {
  std::unique_ptr<StatusServer> bound;
  if (const int code = bindStatusPage(commandLinePort, bound); code != kExitOk) return code;
  if (!bound) return kExitOk;
  const std::shared_ptr<StatusServer> server = std::move(bound);
  const StartWatching watchWithServer = watchRunWith(server.get());
  watch = [server, watchWithServer](ControlModel& controls, const Runtime& runtime) {
    return watchWithServer(controls, runtime);
  };
  return kExitOk;
}

constexpr StatusModule kModule{bindPage};

}  // namespace
}  // namespace vidralo

extern "C" const vidralo::StatusModule* vidralo_status_module() { return &vidralo::kModule; }
