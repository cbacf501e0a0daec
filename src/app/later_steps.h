#pragma once
// Steps of start-up and handlers of the main window whose subsystems are
// attached later. Each is called in its place already, so attaching one
// changes no order; until then each does nothing.
#include <string>

namespace vidralo {

class Program;

// Before any window is shown: the browser engine's version check, run
// directory and log. The JSON library is linked in and the window skin is
// Qt's own, so neither needs a file next to the executable.
void prepareLibraries(Program& program);
// The start window with its online start sequence.
void openStartWindow();
// The thread that writes the version line into part 3 of the status bar.
void startUpdateCheckThread(Program& program);
// The browser engine's initialisation: automatic at start-up, manual from
// 按钮_手动初始化.
void initialiseEngine(Program& program, bool manual);
// 按钮11: the browser's version into 标签_版本.
void reportBrowserVersion(Program& program);
// 按钮1: the delayed self-restart.
void restartProgram(Program& program);
// 按钮2: closes every browser the engine started.
void closeAllBrowsers(Program& program);
// 按钮23: hangs up and redials on a thread of its own.
void testRedial(Program& program);
// The log-in browser of an account (row -1: no row).
void openAccountBrowser(Program& program, int row, const std::string& accountId);
// `vidralo --report-fault FILE`: sends the fault report held in `file`;
// returns the exit code. Runs before any window, with the program directory
// chosen.
int runFaultReporter(const std::string& file);

}  // namespace vidralo
