#pragma once
// Everything the running program holds: the controls, the main window over
// them, the dialogs, the account state, the settings path and the hot key.
// Constructing it creates the main window with all its handlers wired.
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "accounts/account_context.h"
#include "app/runtime/watcher.h"
#include "controls/control_model.h"
#include "controls/dialogs.h"

class QTimer;

namespace vidralo {

class GlobalHotKey;
class MainWindow;
class Runtime;
class StartWindow;
class UpdateFlow;

class Program {
 public:
  struct Options {
    // nullptr: message boxes over the main window.
    Dialogs* dialogs = nullptr;
    // How the close paths end the program; by default the close sequence,
    // which saves the control values and ends the process.
    std::function<void(bool hideWindowFirst)> close;
  };

  explicit Program(Options options);
  Program() : Program(Options{}) {}
  // Joins the threads it started.
  ~Program();
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  ControlModel& controls() { return controls_; }
  MainWindow& window() { return *window_; }
  Dialogs& dialogs() { return *dialogs_; }
  GlobalHotKey& hotKey() { return *hotKey_; }
  AccountContext& accounts() { return accounts_; }
  // The browser engine and the job.
  Runtime& runtime() { return *runtime_; }
  // The settings file, set during start-up; every save and restore takes it.
  std::string& settingsPath() { return settingsPath_; }

  // Runs `work` on a thread of its own, with a stop requested when the
  // program goes away; the caller does not wait for it.
  void startThread(std::function<void()> work);

  // The start window and its update flow, kept for the whole run.
  void adoptStartWindow(std::unique_ptr<StartWindow> window, std::unique_ptr<UpdateFlow> flow);
  StartWindow* startWindow() { return startWindow_.get(); }

  // A watcher of the run (the status page), kept until the program goes.
  void adoptWatch(std::unique_ptr<WatchHandle> watching) { watching_ = std::move(watching); }

  // Both close paths: the window's close and the button 按钮26.
  void close(bool hideWindowFirst);
  // From here on the controls hold the saved values, and a close saves
  // them; a close before (the start window closed during its first second)
  // leaves the settings file as it is.
  void markValuesRestored() { valuesRestored_ = true; }
  // The browsers the engine runs are closed with the program (the demo's);
  // otherwise they keep running after it, with their log-ins.
  void closeBrowsersWithProgram() { closeBrowsersWithProgram_ = true; }

 private:
  void runCloseSequence(bool hideWindowFirst);

  ControlModel controls_;
  AccountStore accountStore_;
  CategoryCatalogue categories_;
  std::unique_ptr<MainWindow> window_;
  std::unique_ptr<Dialogs> ownDialogs_;
  Dialogs* dialogs_;
  AccountContext accounts_;
  std::unique_ptr<Runtime> runtime_;
  std::unique_ptr<GlobalHotKey> hotKey_;
  std::unique_ptr<QTimer> browserCount_;
  std::string settingsPath_;
  std::function<void(bool)> close_;
  std::atomic<bool> valuesRestored_{false};
  bool closeBrowsersWithProgram_ = false;
  std::unique_ptr<StartWindow> startWindow_;
  std::unique_ptr<UpdateFlow> updateFlow_;
  std::unique_ptr<WatchHandle> watching_;
  std::vector<std::jthread> threads_;
};

}  // namespace vidralo
