#include "automation/cdp/browser_process.h"

#include <signal.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "common/pumped_wait.h"

namespace vidralo::cdp {
namespace {

constexpr double kPollMs = 20;
constexpr std::chrono::milliseconds kAfterKill{2000};

std::string readWhole(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The NUL-separated arguments of /proc/<pid>/cmdline.
std::vector<std::string> commandLine(pid_t pid) {
  const std::string raw = readWhole("/proc/" + std::to_string(pid) + "/cmdline");
  std::vector<std::string> arguments;
  std::size_t start = 0;
  while (start < raw.size()) {
    std::size_t end = raw.find('\0', start);
    if (end == std::string::npos) end = raw.size();
    arguments.emplace_back(raw.substr(start, end - start));
    start = end + 1;
  }
  return arguments;
}

std::vector<pid_t> allProcesses() {
  std::vector<pid_t> pids;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator("/proc", error)) {
    const std::string name = entry.path().filename().string();
    if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos) continue;
    pids.push_back(static_cast<pid_t>(std::stol(name)));
  }
  return pids;
}

// Waits until `pid` has ended or `limit` passed; true when it ended.
bool waitForEnd(pid_t pid, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (processAlive(pid)) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    if (!PumpedWait(kPollMs)) return !processAlive(pid);  // stopped: no more waiting
  }
  return true;
}

bool hasArgument(const std::vector<std::string>& arguments, std::string_view argument) {
  for (const std::string& each : arguments) {
    if (each == argument) return true;
    // Browser helpers rewrite their process title: the whole command line
    // then stands in one text, its arguments separated by blanks.
    const std::string spaced = " " + std::string(argument);
    for (std::size_t at = each.find(spaced); at != std::string::npos; at = each.find(spaced, at + 1)) {
      const std::size_t end = at + spaced.size();
      if (end == each.size() || each[end] == ' ') return true;
    }
  }
  return false;
}

bool isHelper(const std::vector<std::string>& arguments) {
  for (const std::string& each : arguments)
    if (each.starts_with("--type=") || each.find(" --type=") != std::string::npos) return true;
  return false;
}

}  // namespace

bool processAlive(pid_t pid) {
  if (pid <= 0 || ::kill(pid, 0) != 0) return false;
  // "pid (name) S ...": the state follows the last closing parenthesis.
  const std::string stat = readWhole("/proc/" + std::to_string(pid) + "/stat");
  const std::size_t close = stat.rfind(')');
  if (close == std::string::npos || close + 2 >= stat.size()) return true;
  const char state = stat[close + 2];
  return state != 'Z' && state != 'X';
}

std::vector<pid_t> processesWithArgument(std::string_view argument) {
  std::vector<pid_t> found;
  for (pid_t pid : allProcesses())
    if (hasArgument(commandLine(pid), argument)) found.push_back(pid);
  return found;
}

pid_t findBrowserProcess(const std::string& profileDirectory) {
  for (pid_t pid : processesWithArgument("--user-data-dir=" + profileDirectory))
    if (!isHelper(commandLine(pid)) && processAlive(pid)) return pid;
  return 0;
}

bool endProcess(pid_t pid, std::chrono::milliseconds grace) {
  if (waitForEnd(pid, grace)) return true;
  ::kill(pid, SIGKILL);
  return waitForEnd(pid, kAfterKill);
}

}  // namespace vidralo::cdp
