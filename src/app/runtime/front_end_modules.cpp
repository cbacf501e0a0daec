#include "app/runtime/front_end_modules.h"

#include <cstdio>

#include "app/runtime/module_loader.h"

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

}  // namespace vidralo
