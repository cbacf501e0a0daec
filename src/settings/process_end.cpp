#include "settings/process_end.h"

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <string>

namespace vidralo {
namespace {

bool sameName(std::string_view a, std::string_view b, bool caseSensitive) {
  if (caseSensitive) return a == b;
  return std::ranges::equal(a, b, [](unsigned char x, unsigned char y) { return std::tolower(x) == std::tolower(y); });
}

// The executable's file name; when the link cannot be read (another user's
// process), the file name of the command's first word. A program file that
// was replaced while running (an update) still counts under its name.
std::string executableName(const std::filesystem::path& processDirectory) {
  std::error_code error;
  const std::filesystem::path exe = std::filesystem::read_symlink(processDirectory / "exe", error);
  if (!error) {
    std::string name = exe.filename().string();
    constexpr std::string_view kDeleted = " (deleted)";
    if (name.ends_with(kDeleted)) name.resize(name.size() - kDeleted.size());
    return name;
  }
  std::ifstream in(processDirectory / "cmdline", std::ios::binary);
  std::string command;
  std::getline(in, command, '\0');
  return std::filesystem::path(command).filename().string();
}

pid_t findOtherProcess(std::string_view name, bool caseSensitive) {
  const pid_t own = ::getpid();
  std::error_code error;
  // Processes come and go during the walk; the non-throwing increment just
  // ends it early then.
  for (std::filesystem::directory_iterator it("/proc", error), end; !error && it != end; it.increment(error)) {
    const std::string pidText = it->path().filename().string();
    pid_t pid = 0;
    const auto [rest, failure] = std::from_chars(pidText.data(), pidText.data() + pidText.size(), pid);
    if (failure != std::errc() || rest != pidText.data() + pidText.size() || pid <= 0) continue;
    if (pid != own && sameName(executableName(it->path()), name, caseSensitive)) return pid;
  }
  return 0;
}

}  // namespace

void endOwnProcess(int exitCode) { ::_exit(exitCode); }

bool endProcessByName(std::string_view name, bool caseSensitive) {
  if (name.empty()) return false;
  const pid_t pid = findOtherProcess(name, caseSensitive);
  return pid != 0 && ::kill(pid, SIGKILL) == 0;
}

}  // namespace vidralo
