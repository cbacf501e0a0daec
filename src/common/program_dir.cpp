#include "common/program_dir.h"

#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <mutex>

namespace vidralo {
namespace {

std::mutex directoryMutex;
std::string chosenDirectory;

std::string executableDirectory() {
  const std::string exe = executablePath();
  std::error_code error;
  if (exe.empty()) return std::filesystem::current_path(error).string();
  return std::filesystem::path(exe).parent_path().string();
}

std::string withoutTrailingSeparator(std::string directory) {
  while (directory.size() > 1 && directory.back() == '/') directory.pop_back();
  return directory;
}

}  // namespace

std::string executablePath() {
  std::error_code error;
  return std::filesystem::read_symlink("/proc/self/exe", error).string();
}

std::string programDirectory() {
  std::lock_guard lock(directoryMutex);
  if (chosenDirectory.empty()) chosenDirectory = withoutTrailingSeparator(executableDirectory());
  return chosenDirectory;
}

void setProgramDirectory(std::string directory) {
  std::error_code error;
  std::filesystem::path absolute = std::filesystem::absolute(directory, error);
  std::lock_guard lock(directoryMutex);
  chosenDirectory = withoutTrailingSeparator(error ? directory : absolute.lexically_normal().string());
}

void initProgramDirectory(int& argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--dir") != 0 || i + 1 >= argc) continue;
    setProgramDirectory(argv[i + 1]);
    for (int k = i; k + 2 <= argc; ++k) argv[k] = argv[k + 2];
    argc -= 2;
    return;
  }
}

std::string nativeSuffix(std::string_view suffix) {
  std::string out(suffix);
  for (char& c : out)
    if (c == '\\') c = '/';
  return out;
}

std::string programPath(std::string_view suffix) { return programDirectory() + nativeSuffix(suffix); }

}  // namespace vidralo
