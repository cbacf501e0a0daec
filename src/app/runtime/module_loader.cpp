#include "app/runtime/module_loader.h"

#include <dlfcn.h>

#include <filesystem>

#include "common/program_dir.h"

namespace vidralo {

std::string modulePath(std::string_view fileName) {
  const std::filesystem::path folder = executableDirectory();
  std::error_code error;
  if (std::filesystem::exists(folder / fileName, error)) return (folder / fileName).string();
  return (folder / VIDRALO_INSTALLED_MODULES / fileName).lexically_normal().string();
}

void* moduleEntry(std::string_view fileName, const char* entry, std::string& error) {
  const std::string path = modulePath(fileName);
  // Loading an already loaded module only returns its handle; modules are
  // never unloaded, since their code keeps running in threads and handlers.
  void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  void* address = module ? dlsym(module, entry) : nullptr;
  if (!address) {
    const char* reason = dlerror();
    error = "无法加载模块 " + path + "：" + (reason ? reason : "未知原因");
  }
  return address;
}

}  // namespace vidralo
