#include "app/runtime/front_end_modules.h"

#include <cstdio>

#include "app/runtime/exit_codes.h"
#include "app/runtime/module_loader.h"
#include "common/app_config.h"

namespace vidralo {
namespace {

template <typename Table>
const Table* loadTable(const char* fileName, const char* entry) {
  std::string error;
  void* address = moduleEntry(fileName, entry, error);
  if (!address) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return nullptr;
  }
  return reinterpret_cast<const Table* (*)()>(address)();
}

}  // namespace

const WindowModule* windowModule() { return loadTable<WindowModule>("vidralo-window.so", "vidralo_window_module"); }

const DemoModule* demoModule() { return loadTable<DemoModule>("vidralo-demo.so", "vidralo_demo_module"); }

int startStatusPage(std::optional<int> commandLinePort, StartWatching& watch) {
  if (!commandLinePort && configValue("status", "listen").empty()) return kExitOk;
  const StatusModule* status = loadTable<StatusModule>("vidralo-status.so", "vidralo_status_module");
  if (!status) return kExitStatusRefused;
  return status->bind(commandLinePort, watch);
}

}  // namespace vidralo
