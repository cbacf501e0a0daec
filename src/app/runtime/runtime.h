#pragma once
// What publishing needs beside the controls, shared by the window and the
// headless run: the CDP engine (configured from config.ini), its start-up,
// the job, and the log-in browsers. Free of widgets.
#include <memory>
#include <string>

#include "accounts/account_store.h"
#include "automation/browser_session.h"
#include "automation/cdp/cdp_engine.h"
#include "automation/engine_startup.h"
#include "controls/control_model.h"
#include "controls/dialogs.h"
#include "upload/job_runner.h"

namespace vidralo {

struct ScreenSize {
  int width = 1920;
  int height = 1080;
};

// The engine's options from config.ini [browser].
cdp::CdpEngine::Config engineConfigFromFile();

class Runtime {
 public:
  Runtime(ControlModel& controls, Dialogs& dialogs, AccountStore& accounts, ScreenSize screen,
          const cdp::CdpEngine::Config& engineConfig = engineConfigFromFile());
  Runtime(const Runtime&) = delete;
  Runtime& operator=(const Runtime&) = delete;

  cdp::CdpEngine& engine() { return engine_; }
  JobRunner& job() { return job_; }
  const SessionSettings& sessionSettings() const { return sessionSettings_; }

  // Version check, run directory, engine log, administrator note.
  void deployEngine();
  // Automatic at start-up, manual from 按钮_手动初始化. True when browsers
  // can be started.
  bool initEngine(bool manual);
  // 按钮11.
  void reportBrowserVersion(const std::string& programVersion);
  // 按钮2.
  void closeAllBrowsers();
  // The log-in browser of an account; it stays open and never becomes the
  // job's session.
  OpenedBrowser openAccountBrowser(int row, const std::string& accountId);
  void toggleJob() { job_.toggleJob(); }
  // For watchers such as the status page; neither waits on the job or the
  // browsers.
  bool jobRunning() const { return job_.isRunning(); }
  int browsersRunning() const { return engine_.browserCount(); }
  // 按钮23: hangs up and redials now, unless an IP change is running.
  void testRedial();

 private:
  // The job's page, else the first browser this engine runs, else 0.
  SessionId knownSession();

  ControlModel& controls_;
  cdp::CdpEngine engine_;
  EngineStartup startup_;
  SessionSettings sessionSettings_;
  JobRunner job_;
};

}  // namespace vidralo
