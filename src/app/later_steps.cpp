#include "app/later_steps.h"

#include "app/app_info.h"
#include "app/program.h"
#include "app/runtime/runtime.h"

namespace vidralo {

void prepareLibraries(Program& program) { program.runtime().deployEngine(); }

void openStartWindow() {}
void startUpdateCheckThread(Program&) {}

void initialiseEngine(Program& program, bool manual) { program.runtime().initEngine(manual); }

void reportBrowserVersion(Program& program) { program.runtime().reportBrowserVersion(appInfo().version); }

void restartProgram(Program&) {}

void closeAllBrowsers(Program& program) {
  // Closing waits for each browser to end; the window stays responsive.
  program.startThread([&program] { program.runtime().closeAllBrowsers(); });
}

void testRedial(Program&) {}

int runFaultReporter(const std::string&) { return 0; }

void openAccountBrowser(Program& program, int row, const std::string& accountId) {
  program.runtime().openAccountBrowser(row, accountId);
}

}  // namespace vidralo
