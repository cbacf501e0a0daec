#include "settings/directories.h"

#include <filesystem>

namespace vidralo {

bool isDirectory(const std::string& path) {
  std::error_code error;
  return !path.empty() && std::filesystem::is_directory(path, error);
}

bool ensureDirectory(const std::string& path) {
  if (path.empty()) return false;
  std::error_code error;
  std::filesystem::create_directories(path, error);
  return isDirectory(path);
}

}  // namespace vidralo
