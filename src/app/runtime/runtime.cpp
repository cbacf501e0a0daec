#include "app/runtime/runtime.h"

#include "accounts/record_files.h"
#include "common/app_config.h"
#include "network/change_ip.h"
#include "network/system_dial_platform.h"

namespace vidralo {

cdp::CdpEngine::Config engineConfigFromFile() {
  cdp::CdpEngine::Config config;
  switch (browserHeadlessMode()) {
    case HeadlessMode::On: config.headless = cdp::CdpEngine::Headless::On; break;
    case HeadlessMode::Off: config.headless = cdp::CdpEngine::Headless::Off; break;
    case HeadlessMode::Auto: config.headless = cdp::CdpEngine::Headless::Auto; break;
  }
  config.extraFlags = browserExtraArguments();
  return config;
}

namespace {

SessionSettings makeSessionSettings(AccountStore& accounts, ScreenSize screen) {
  SessionSettings settings;
  settings.uploadPage = [] { return uploadPageUrl(); };
  settings.screenWidth = screen.width;
  settings.screenHeight = screen.height;
  settings.saveNickname = [&accounts](const std::string& id, const std::string& nickname) {
    accounts.saveNickname(id, nickname);
  };
  return settings;
}

}  // namespace

Runtime::Runtime(ControlModel& controls, Dialogs& dialogs, AccountStore& accounts, ScreenSize screen,
                 const cdp::CdpEngine::Config& engineConfig)
    : controls_(controls),
      engine_(engineConfig),
      startup_(engine_, controls, dialogs),
      sessionSettings_(makeSessionSettings(accounts, screen)),
      job_(controls, engine_, sessionSettings_) {
  job_.setIpChanger([&controls] { changeIpBetweenAccounts(controls, *systemDialPlatform()); });
  job_.setRecordCheck([](const std::string& accountId) { return hasUnreadableRecord(accountId); });
}

void Runtime::deployEngine() { startup_.deployEngine(); }

bool Runtime::initEngine(bool manual) { return startup_.initEngine(manual, knownSession()); }

void Runtime::reportBrowserVersion(const std::string& programVersion) {
  startup_.reportBrowserVersion(knownSession(), programVersion);
}

void Runtime::closeAllBrowsers() { engine_.closeBrowsers(); }

void Runtime::testRedial() { testRedialUnlessRunning(controls_, *systemDialPlatform()); }

OpenedBrowser Runtime::openAccountBrowser(int row, const std::string& accountId) {
  return openAccountPage(engine_, controls_, sessionSettings_, row, accountId);
}

SessionId Runtime::knownSession() {
  if (const SessionId job = job_.sessionId(); job != 0 && engine_.isConnected(job)) return job;
  const std::vector<RunningBrowser> running = engine_.connectStarted();
  return running.empty() ? 0 : running.front().sessionId;
}

}  // namespace vidralo
