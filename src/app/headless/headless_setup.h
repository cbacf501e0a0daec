#pragma once
// The start that the headless run and the terminal's account commands
// share: the control values restored (and --set applied), the platform host
// checked, the browser engine deployed and initialised, the accounts loaded
// into the list. Without a window; problems go to standard error.
#include <signal.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "accounts/account_context.h"
#include "app/headless/console_dialogs.h"
#include "app/runtime/command_line.h"
#include "app/runtime/runtime.h"

namespace vidralo {

class HeadlessSetup {
 public:
  HeadlessSetup() = default;
  HeadlessSetup(const HeadlessSetup&) = delete;
  HeadlessSetup& operator=(const HeadlessSetup&) = delete;

  // kExitOk once browsers can be started; otherwise the exit code.
  // `checkpoint` runs once the values are restored and again once the
  // engine's start ended, so a caller can end the start there.
  int start(const std::vector<ControlSetting>& settings, const cdp::CdpEngine::Config& engineConfig,
            const std::function<void()>& checkpoint = {});

  Runtime& runtime() { return *runtime_; }

  ControlModel controls;
  ConsoleDialogs dialogs;
  AccountStore store;
  CategoryCatalogue categories;
  AccountContext accounts{controls, dialogs, store, categories};
  // Where the control values were restored from and are saved to.
  std::string settingsPath;

 private:
  std::optional<Runtime> runtime_;
};

// SIGINT and SIGTERM, to be blocked in every thread (they inherit the mask)
// and taken by one waiting thread, so that no handler runs inside library
// code.
sigset_t terminationSignals();

}  // namespace vidralo
