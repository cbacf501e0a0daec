#include "settings/process_end.h"

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace vidralo {
namespace {

bool sameName(std::string_view a, std::string_view b, bool caseSensitive) {
  if (caseSensitive) return a == b;
  return std::ranges::equal(a, b, [](unsigned char x, unsigned char y) { return std::tolower(x) == std::tolower(y); });
}

// The executable's file name; when the link cannot be read (another user's
// process), the file name of the command's first word.
std::string executableName(const std::filesystem::path& processDirectory) {
  std::error_code error;
  const std::filesystem::path exe = std::filesystem::read_symlink(processDirectory / "exe", error);
  if (!error) return exe.filename().string();
  std::ifstream in(processDirectory / "cmdline", std::ios::binary);
  std::string command;
  std::getline(in, command, '\0');
  return std::filesystem::path(command).filename().string();
}

pid_t findOtherProcess(std::string_view name, bool caseSensitive) {
  const pid_t own = ::getpid();
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator("/proc", error)) {
    const std::string pidText = entry.path().filename().string();
    if (pidText.empty() || !std::ranges::all_of(pidText, [](unsigned char c) { return std::isdigit(c); })) continue;
    const pid_t pid = static_cast<pid_t>(std::stol(pidText));
    if (pid != own && sameName(executableName(entry.path()), name, caseSensitive)) return pid;
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
