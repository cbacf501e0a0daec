#pragma once
// The steps of start-up and the handlers of the main window that reach the
// browser engine. Those that can take seconds run on a thread of their own,
// so the window never waits on a browser.
#include <string>

namespace vidralo {

class Program;

// Before any window is shown: the browser engine's version check, run
// directory and log. The JSON library is linked in and the window skin is
// Qt's own, so neither needs a file next to the executable.
void prepareLibraries(Program& program);
// The browser engine's initialisation: automatic at start-up, manual from
// 按钮_手动初始化 (on a thread of its own).
void initialiseEngine(Program& program, bool manual);
// 按钮11: the browser's version into 标签_版本, on a thread of its own.
void reportBrowserVersion(Program& program);
// 按钮2: closes every browser the engine started.
void closeAllBrowsers(Program& program);
// The log-in browser of an account (row -1: no row).
void openAccountBrowser(Program& program, int row, const std::string& accountId);

}  // namespace vidralo
