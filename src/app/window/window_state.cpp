#include "app/window/window_state.h"

#include "app/window/main_window.h"
#include "app/window/program.h"
#include "settings/window_state_store.h"

namespace vidralo {
namespace {

// Smaller stored sizes are no window of this program's; the window's own
// minimum then gives the default.
constexpr int kSmallestStoredWidth = 400;
constexpr int kSmallestStoredHeight = 300;

}  // namespace

void restoreWindowState(Program& program) {
  program.window().applyState(
      readWindowState(program.settingsPath(), kSmallestStoredWidth, kSmallestStoredHeight, kColumnCount));
}

bool saveWindowState(Program& program) {
  MainWindow& window = program.window();
  return saveWindowState(program.settingsPath(), window.windowSize(), window.columnWidths());
}

}  // namespace vidralo
