#include "app/later_steps.h"

namespace vidralo {

void prepareLibraries() {}
void openStartWindow() {}
void startUpdateCheckThread(Program&) {}
void initialiseEngine(Program&, bool) {}
void reportBrowserVersion(Program&) {}
void restartProgram(Program&) {}
void closeAllBrowsers(Program&) {}
void testRedial(Program&) {}
void openAccountBrowser(Program&, int, const std::string&) {}

}  // namespace vidralo
