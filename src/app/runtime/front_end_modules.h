#pragma once
// What the entry asks of each module (module_loader.h), as a table of
// functions that the module's one exported entry returns. The tables carry
// the program's own types: the modules are built with the executable.
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/runtime/command_line.h"
#include "app/runtime/watcher.h"

namespace vidralo {

class Demo;
class DemoPlatform;

struct WindowRequest {
  // Renders the started main window into this PNG file and returns instead
  // of running the window.
  std::optional<std::string> screenshot;
  // Given to the controls after the saved values are restored.
  std::vector<ControlSetting> settings;
  StartWatching watch;
  // When set, the window starts the demo's job at once and shows what the
  // platform recorded when it ends.
  const Demo* demo = nullptr;
};

// vidralo-window.so, entry "vidralo_window_module".
struct WindowModule {
  bool (*displayAvailable)();
  bool (*windowsSeen)();
  int (*runFaultReporter)(const std::string& file);
  // The window's start, with the program directory chosen. Returns the exit code.
  int (*start)(int argc, char** argv, const WindowRequest& request);
};

// vidralo-status.so, entry "vidralo_status_module".
struct StatusModule {
  // Binds the page where `--status-port` or config.ini [status] says: kExitOk
  // with `watch` set (the page lives as long as `watch` and its copies), or
  // kExitStatusRefused after saying why on standard error.
  int (*bind)(std::optional<int> commandLinePort, StartWatching& watch);
};

// vidralo-demo.so, entry "vidralo_demo_module".
struct DemoModule {
  // The simulated platform, listening on a free loopback port.
  std::unique_ptr<DemoPlatform> (*startPlatform)();
};

// Each loads its module on first use. Null after saying on standard error
// which module could not be loaded and why.
const WindowModule* windowModule();
const DemoModule* demoModule();

// The status page when `--status-port` or config.ini [status] listen asks
// for one (its module is loaded only then): kExitOk with `watch` set, or
// without a page an empty `watch`; otherwise kExitStatusRefused, said on
// standard error.
int startStatusPage(std::optional<int> commandLinePort, StartWatching& watch);

}  // namespace vidralo
