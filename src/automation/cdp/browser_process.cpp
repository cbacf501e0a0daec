#include "automation/cdp/browser_process.h"

#include <poll.h>
#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "common/pumped_wait.h"

namespace vidralo::cdp {
namespace {

constexpr double kPollMs = 20;
constexpr std::chrono::milliseconds kAfterKill{2000};

// Empty when the file cannot be read: a process that ended while we read
// its /proc entry fails the read itself, which the stream reports by
// throwing.
std::string readWhole(const std::string& path) {
  try {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  } catch (const std::ios_base::failure&) {
    return {};
  }
}

// Waits until the process has ended or `limit` passed; true when it ended.
bool waitForEnd(const ProcessHandle& process, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (process.alive()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    if (!PumpedWait(kPollMs)) return !process.alive();  // stopped: no more waiting
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

std::vector<std::string> processArguments(pid_t pid) {
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

ProcessHandle ProcessHandle::open(pid_t pid) {
  if (pid <= 0) return {};
  const int pidfd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
  return pidfd >= 0 ? ProcessHandle(pidfd, pid) : ProcessHandle();
}

ProcessHandle::~ProcessHandle() {
  if (pidfd_ >= 0) ::close(pidfd_);
}

ProcessHandle::ProcessHandle(ProcessHandle&& other) noexcept : pidfd_(other.pidfd_), pid_(other.pid_) {
  other.pidfd_ = -1;
  other.pid_ = 0;
}

ProcessHandle& ProcessHandle::operator=(ProcessHandle&& other) noexcept {
  if (this != &other) {
    if (pidfd_ >= 0) ::close(pidfd_);
    pidfd_ = other.pidfd_;
    pid_ = other.pid_;
    other.pidfd_ = -1;
    other.pid_ = 0;
  }
  return *this;
}

bool ProcessHandle::alive() const {
  if (pidfd_ < 0) return false;
  // A pidfd turns readable when its process ends.
  pollfd ended{pidfd_, POLLIN, 0};
  return ::poll(&ended, 1, 0) == 0;
}

bool ProcessHandle::kill() const {
  return pidfd_ >= 0 && ::syscall(SYS_pidfd_send_signal, pidfd_, SIGKILL, nullptr, 0) == 0;
}

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
    if (hasArgument(processArguments(pid), argument)) found.push_back(pid);
  return found;
}

namespace {

// Process `pid` is a live browser (not a helper) on `profileDirectory`.
bool isBrowserOn(pid_t pid, const std::string& profileDirectory) {
  const std::vector<std::string> arguments = processArguments(pid);
  return hasArgument(arguments, "--user-data-dir=" + profileDirectory) && !isHelper(arguments) && processAlive(pid);
}

}  // namespace

pid_t findBrowserProcess(const std::string& profileDirectory) {
  for (pid_t pid : allProcesses())
    if (isBrowserOn(pid, profileDirectory)) return pid;
  return 0;
}

ProcessHandle holdBrowserProcess(const std::string& profileDirectory) {
  const pid_t pid = findBrowserProcess(profileDirectory);
  if (pid <= 0) return {};
  ProcessHandle held = ProcessHandle::open(pid);
  // The id may have changed hands before the pidfd pinned it: the pinned
  // process itself must still be that browser.
  if (!held || !isBrowserOn(pid, profileDirectory)) return {};
  return held;
}

namespace {

// The inodes of the sockets listening on `port` in one /proc/net/tcp table
// ("sl local_address rem_address st ... inode", addresses as HEX:HEXPORT).
void listeningInodes(const char* table, int port, std::vector<std::string>& inodes) {
  constexpr const char* kListen = "0A";
  std::ifstream in(table);
  std::string line;
  std::getline(in, line);  // the heading
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string slot, local, remote, state, queues, timer, retransmits, uid, timeout, inode;
    if (!(fields >> slot >> local >> remote >> state >> queues >> timer >> retransmits >> uid >> timeout >> inode))
      continue;
    const std::size_t colon = local.rfind(':');
    if (state != kListen || colon == std::string::npos) continue;
    if (std::strtol(local.c_str() + colon + 1, nullptr, 16) == port) inodes.push_back("socket:[" + inode + "]");
  }
}

}  // namespace

bool listensOnPort(pid_t pid, int port) {
  std::vector<std::string> sockets;
  listeningInodes("/proc/net/tcp", port, sockets);
  listeningInodes("/proc/net/tcp6", port, sockets);
  if (sockets.empty()) return false;
  std::error_code error;
  for (const auto& fd : std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/fd", error)) {
    std::error_code linkError;
    const std::string target = std::filesystem::read_symlink(fd.path(), linkError).string();
    if (std::find(sockets.begin(), sockets.end(), target) != sockets.end()) return true;
  }
  return false;
}

bool endProcess(const ProcessHandle& process, std::chrono::milliseconds grace) {
  if (waitForEnd(process, grace)) return true;
  process.kill();
  return waitForEnd(process, kAfterKill);
}

}  // namespace vidralo::cdp
