#include "settings/close_sequence.h"

#include "settings/control_state_store.h"
#include "settings/process_end.h"

namespace vidralo {

void runCloseSequence(const ControlModel& window, std::string& settingsPath, const CloseActions& actions) {
  if (actions.hideWindow) actions.hideWindow();
  if (actions.releaseHotKey) actions.releaseHotKey();
  if (actions.saveValues && !saveControlStates(window, settingsPath, "") && actions.reportSaveFailure)
    actions.reportSaveFailure(settingsNotSavedText(settingsPath));
  // The own process directly: a search by file name could find another
  // running copy of the program first.
  endOwnProcess(0);
}

}  // namespace vidralo
