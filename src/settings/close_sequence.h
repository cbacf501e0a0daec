#pragma once
// How the main window ends the program: save every kept control value, then
// end the own process at once, whatever threads still run.
#include <functional>
#include <string>

#include "controls/control_model.h"

namespace vidralo {

struct CloseActions {
  std::function<void()> hideWindow;     // empty when the window is being destroyed anyway
  std::function<void()> releaseHotKey;  // releases the start/stop hot key
  // Tells the operator that the settings could not be saved (a message box
  // in the window), before the process ends.
  std::function<void(const std::string& message)> reportSaveFailure;
  // False while the saved values are not restored yet: the controls still
  // hold their defaults, which would overwrite the operator's settings.
  bool saveValues = true;
};

// Hides the window (when given), releases the hot key, saves edit boxes,
// radio buttons and combo boxes with nothing excluded (unless told not to; a
// failed save is reported first), and ends the process with exit code 0.
// Does not return.
[[noreturn]] void runCloseSequence(const ControlModel& window, std::string& settingsPath,
                                   const CloseActions& actions);

}  // namespace vidralo
