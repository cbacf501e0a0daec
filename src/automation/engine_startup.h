#pragma once
// Readying the browser engine at start-up: its version check, its run
// directory and log, the administrator-rights note, the initialisation with
// the browser to use, the periodic heap trim, and the browser version report.
#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "automation/browser_engine.h"
#include "controls/control_model.h"
#include "controls/dialogs.h"

namespace vidralo {

inline constexpr const char* requiredEngineVersion = "5.5.64";

// Effective user id 0.
bool runsAsAdministrator();
// Ends the process at once, without clean-up, exit code 0.
[[noreturn]] void endProcessNow();

// What the start-up asks of the process; tests replace both.
struct StartupEnvironment {
  std::function<bool()> isAdministrator = runsAsAdministrator;
  // Called after the version-mismatch message.
  std::function<void()> endProgram = endProcessNow;
};

class EngineStartup {
 public:
  EngineStartup(BrowserEngine& engine, ControlModel& controls, Dialogs& dialogs,
                StartupEnvironment environment = {});
  // Stops and joins the trimmer.
  ~EngineStartup();
  EngineStartup(const EngineStartup&) = delete;
  EngineStartup& operator=(const EngineStartup&) = delete;

  // Version check (mismatch: message, then the program ends), run directory,
  // engine log into "\logs\engine.log", and the error-log entry when the
  // program runs without administrator rights.
  void deployEngine();

  // Does nothing while `jobSession` is a known session (a browser already
  // runs). Starts the trimmer the first time. Initialises the engine with
  // the browser named in 编辑框_google when that file exists, else with one
  // the engine discovers; tells the operator when that fails and, when
  // `manual`, when it succeeds. True when the engine is ready for starts.
  bool initEngine(bool manual, SessionId jobSession);

  // 标签_版本 shows the browser's version report of `session` and the
  // program's version.
  void reportBrowserVersion(SessionId session, const std::string& programVersion);

  bool trimmerRunning() const { return trimmer_.joinable(); }
  // How often the trimmer has handed freed heap back (for tests).
  int trimCount() const;

 private:
  BrowserEngine& engine_;
  ControlModel& controls_;
  Dialogs& dialogs_;
  StartupEnvironment environment_;
  std::atomic<int> trims_{0};
  std::once_flag trimmerStarted_;  // initEngine may run on several threads at once
  std::jthread trimmer_;
};

// One log line of the engine, time-stamped, appended to "\logs\engine.log".
void appendEngineLog(const std::string& line);

}  // namespace vidralo
