#include "app/window/engine_steps.h"

#include "app/runtime/app_info.h"
#include "app/window/program.h"
#include "app/runtime/runtime.h"

namespace vidralo {

void prepareLibraries(Program& program) { program.runtime().deployEngine(); }

void initialiseEngine(Program& program, bool manual) {
  // The button's run asks the named browser for its version and any running
  // one for its pages, which can take seconds: it runs beside the window.
  if (manual)
    program.startThread([&program] { program.runtime().initEngine(true); });
  else
    program.runtime().initEngine(false);
}

void reportBrowserVersion(Program& program) {
  program.startThread([&program] { program.runtime().reportBrowserVersion(appInfo().version); });
}

void closeAllBrowsers(Program& program) {
  // Closing waits for each browser to end; the window stays responsive.
  program.startThread([&program] { program.runtime().closeAllBrowsers(); });
}

void openAccountBrowser(Program& program, int row, const std::string& accountId) {
  program.runtime().openAccountBrowser(row, accountId);
}

}  // namespace vidralo
