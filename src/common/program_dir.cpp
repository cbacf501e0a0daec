#include "common/program_dir.h"

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <mutex>

namespace vidralo {
namespace {

std::mutex directoryMutex;
std::string chosenDirectory;

std::string withoutTrailingSeparator(std::string directory) {
  while (directory.size() > 1 && directory.back() == '/') directory.pop_back();
  return directory;
}

}  // namespace

std::string executableDirectory() {
  const std::string exe = executablePath();
  std::error_code error;
  if (exe.empty()) return std::filesystem::current_path(error).string();
  return std::filesystem::path(exe).parent_path().string();
}

std::string userDataDirectory(std::string_view name) {
  const char* xdg = std::getenv("XDG_DATA_HOME");
  if (xdg && xdg[0] == '/') return withoutTrailingSeparator(xdg) + "/" + std::string(name);
  const char* home = std::getenv("HOME");
  std::string base = home && home[0] == '/' ? home : "";
  if (base.empty())
    if (const passwd* user = getpwuid(getuid()); user && user->pw_dir) base = user->pw_dir;
  return withoutTrailingSeparator(base) + "/.local/share/" + std::string(name);
}

std::string defaultProgramDirectory(const std::string& executableFolder, bool writable,
                                    const std::string& dataFolder) {
  static constexpr std::string_view kSystemFolders[] = {"/usr/", "/bin/", "/sbin/", "/lib/"};
  const std::string folder = executableFolder + "/";
  const bool system = std::any_of(std::begin(kSystemFolders), std::end(kSystemFolders),
                                  [&folder](std::string_view prefix) { return folder.starts_with(prefix); });
  return writable && !system ? executableFolder : dataFolder;
}

DirectoryCheck checkProgramDirectory(const std::string& directory) {
  std::error_code error;
  const std::filesystem::file_status status = std::filesystem::status(directory, error);
  if (!std::filesystem::exists(status)) return DirectoryCheck::Missing;
  return std::filesystem::is_directory(status) ? DirectoryCheck::Usable : DirectoryCheck::NotADirectory;
}

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

std::string nativeSuffix(std::string_view suffix) {
  std::string out(suffix);
  for (char& c : out)
    if (c == '\\') c = '/';
  return out;
}

std::string programPath(std::string_view suffix) { return programDirectory() + nativeSuffix(suffix); }

}  // namespace vidralo
