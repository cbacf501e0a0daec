#pragma once
// The front ends that need heavy libraries (the window with Qt Widgets, the
// status page with its web server, the demo's simulated platform) are
// modules that the executable loads only when they are chosen, so the
// headless program and the terminal commands never map those libraries.
// A module links only its own code and its external libraries; everything
// else it resolves from the executable, which exports its symbols.
#include <string>
#include <string_view>

namespace vidralo {

// Where the module `fileName` is: beside the executable in the build tree,
// else in the installed package's module folder relative to the executable's.
std::string modulePath(std::string_view fileName);

// Loads the module (once; it stays for the process's life, every symbol
// resolved now) and returns the address of its entry `entry`. Null with the
// module's path and the loader's reason in `error` when it cannot.
void* moduleEntry(std::string_view fileName, const char* entry, std::string& error);

}  // namespace vidralo
