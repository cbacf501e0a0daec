#pragma once
// The start-up steps that bring the controls to their state before anything
// runs, shared by the window and the headless run.
#include <string>

#include "controls/control_model.h"

namespace vidralo {

// Sets `settingsPath`, creates "\data\list" with every level, removes the
// temporary files a kill during a save left in "\data" and "\data\list",
// writes a commented config.ini when there is none, gives
// 编辑框_随机封面目录 its start-up default and restores the saved edit boxes,
// then radio buttons (a stored value overrides the defaults).
void restoreControlsAtStart(ControlModel& controls, std::string& settingsPath);

// The defaults start-up gives beyond the first-run values of the control
// table: 编辑框_随机封面目录 is "\img" under the program directory.
void setStartUpDefaults(ControlModel& controls);

}  // namespace vidralo
