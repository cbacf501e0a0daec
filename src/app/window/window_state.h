#pragma once
// The main window's size and the account list's column widths between runs,
// kept in the settings file (see settings/window_state_store.h).
namespace vidralo {

class Program;

// Before the window is shown; damaged or missing values keep the defaults.
void restoreWindowState(Program& program);
// True when the settings file holds them afterwards.
bool saveWindowState(Program& program);

}  // namespace vidralo
