#include "app/headless/headless_setup.h"

#include <cstdio>

#include "accounts/account_list.h"
#include "app/runtime/exit_codes.h"
#include "app/runtime/startup_controls.h"
#include "common/app_config.h"
#include "common/program_dir.h"

namespace vidralo {

int HeadlessSetup::start(const std::vector<ControlSetting>& settings, const cdp::CdpEngine::Config& engineConfig,
                         const std::function<void()>& checkpoint) {
  restoreControlsAtStart(controls, settingsPath);
  applyControlSettings(controls, settings);
  if (checkpoint) checkpoint();
  if (uploadPageUrl().empty()) {
    std::fprintf(stderr, "未配置平台地址：请在 %s 的 [hosts] 中写入 platform = https://平台主机\n",
                 configFilePath().c_str());
    return kExitNoPlatform;
  }
  runtime_.emplace(controls, dialogs, store, ScreenSize{}, engineConfig);
  runtime_->deployEngine();
  const bool engineReady = runtime_->initEngine(false);
  if (checkpoint) checkpoint();
  if (!engineReady) return kExitNoBrowser;
  controls.setCaption(ControlId::标签15, programPath("\\"));
  reloadAccounts(accounts);
  return kExitOk;
}

sigset_t terminationSignals() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  return set;
}

}  // namespace vidralo
