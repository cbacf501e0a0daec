#pragma once
// How the program comes up: the process entry and the two start-up events of
// the main window.
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/runtime/command_line.h"
#include "app/runtime/watcher.h"

namespace vidralo {

class Program;

struct WindowStart {
  // Renders the started main window into this PNG file and returns instead
  // of running the window.
  std::optional<std::string> screenshot;
  // Given to the controls after the saved values are restored.
  std::vector<ControlSetting> settings;
  // Runs once the main window is created, before it is shown.
  std::function<void(Program&)> started;
  // Started once the engine is ready.
  StartWatching watch;
};

// The window's start, with the program directory chosen already. Returns
// the exit code.
int startProgram(int argc, char** argv, const WindowStart& start);

// The main window's creation: caption, settings path, data folders, saved
// control values, engine, hot key.
void onMainWindowCreated(Program& program);

// The first tick of 时钟1, about one second later: the account list is
// reloaded on a thread of its own and the title settings are shown.
void onOneShotTimer(Program& program);

}  // namespace vidralo
