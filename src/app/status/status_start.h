#pragma once
// How the entry brings the status page up beside the window or the headless
// run: bound before either starts (so a refusal ends the start at once), and
// answering once the front end hands over its controls and runtime.
#include <memory>
#include <optional>

#include "app/runtime/watcher.h"
#include "app/status/status_server.h"

namespace vidralo {

// Reads config.ini [status] and `--status-port`. Returns kExitOk with
// `server` bound (or null when the page is off), or kExitStatusRefused after
// saying why on standard error.
int bindStatusPage(std::optional<int> commandLinePort, std::unique_ptr<StatusServer>& server);

// The hook for the front end that runs the job; nothing when `server` is null.
StartWatching watchRunWith(StatusServer* server);

}  // namespace vidralo
