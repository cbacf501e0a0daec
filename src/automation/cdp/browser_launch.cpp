#include "automation/cdp/browser_launch.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "common/command_runner.h"

extern char** environ;

namespace vidralo::cdp {
namespace {

constexpr std::chrono::milliseconds kVersionAnswerLimit{5000};

bool isExecutableFile(const std::string& path) {
  struct stat info {};
  return !path.empty() && ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

bool parseNumber(const std::string& text, double& value) {
  const char* begin = text.c_str();
  char* end = nullptr;
  value = std::strtod(begin, &end);
  while (end && *end == ' ') ++end;
  return end != begin && end && *end == '\0' && std::isfinite(value);
}

// Writes all of `size` bytes; only async-signal-safe calls, for the child.
void writeAll(int fd, const void* data, std::size_t size) {
  const char* bytes = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t written = ::write(fd, bytes, size);
    if (written <= 0 && errno != EINTR) return;
    if (written > 0) {
      bytes += written;
      size -= static_cast<std::size_t>(written);
    }
  }
}

bool readAll(int fd, void* data, std::size_t size) {
  char* bytes = static_cast<char*>(data);
  while (size > 0) {
    const ssize_t got = ::read(fd, bytes, size);
    if (got == 0) return false;
    if (got < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes += got;
    size -= static_cast<std::size_t>(got);
  }
  return true;
}

// The browser side of the double fork. Runs between fork and exec, so it
// may only use async-signal-safe calls.
[[noreturn]] void becomeBrowser(const char* executable, char* const* argv, char* const* envp, int nullFd, int logFd,
                                int reportFd) {
  ::dup2(nullFd, STDIN_FILENO);
  ::dup2(nullFd, STDOUT_FILENO);
  ::dup2(logFd, STDERR_FILENO);
  // The report pipe moves to fd 3 and closes on exec, which tells the
  // parent that exec succeeded; every other descriptor of ours (sockets,
  // the servers of tests) must not leak into the browser.
  ::dup2(reportFd, 3);
  ::fcntl(3, F_SETFD, FD_CLOEXEC);
  ::close_range(4, ~0U, 0);
  sigset_t none;
  sigemptyset(&none);
  ::sigprocmask(SIG_SETMASK, &none, nullptr);
  ::signal(SIGPIPE, SIG_DFL);
  ::signal(SIGCHLD, SIG_DFL);
  ::execve(executable, argv, envp);
  const int error = errno;
  writeAll(3, &error, sizeof error);
  ::_exit(127);
}

std::string valueOf(const std::vector<std::string>& environment, std::string_view name) {
  for (const std::string& entry : environment)
    if (entry.size() > name.size() && entry.compare(0, name.size(), name) == 0 && entry[name.size()] == '=')
      return entry.substr(name.size() + 1);
  return {};
}

bool namesUtf8(std::string locale) {
  std::transform(locale.begin(), locale.end(), locale.begin(), [](unsigned char c) { return std::tolower(c); });
  return locale.find("utf-8") != std::string::npos || locale.find("utf8") != std::string::npos;
}

}  // namespace

std::vector<std::string> browserEnvironment(const std::vector<std::string>& environment) {
  // LC_ALL wins over LC_CTYPE, which wins over LANG.
  const std::string all = valueOf(environment, "LC_ALL");
  std::string ctype = all;
  if (ctype.empty()) ctype = valueOf(environment, "LC_CTYPE");
  if (ctype.empty()) ctype = valueOf(environment, "LANG");
  if (namesUtf8(ctype)) return environment;
  std::vector<std::string> adjusted;
  for (const std::string& entry : environment) {
    const bool replaced = entry.starts_with("LC_ALL=") || entry.starts_with("LC_CTYPE=") ||
                          (!all.empty() && entry.starts_with("LANG="));
    if (!replaced) adjusted.push_back(entry);
  }
  // What LC_ALL said for every category stays as LANG, beneath the others.
  if (!all.empty()) adjusted.push_back("LANG=" + all);
  adjusted.push_back("LC_CTYPE=C.UTF-8");
  return adjusted;
}

std::string findBrowserExecutable(const std::string& path) {
  if (isExecutableFile(path)) return path;
  static const char* const kNames[] = {"chromium",      "chromium-browser", "google-chrome", "google-chrome-stable",
                                       "microsoft-edge", "microsoft-edge-stable"};
  const char* searchPath = std::getenv("PATH");
  std::vector<std::string> folders;
  std::stringstream split(searchPath ? searchPath : "/usr/local/bin:/usr/bin:/bin");
  for (std::string folder; std::getline(split, folder, ':');)
    if (!folder.empty()) folders.push_back(folder);
  for (const char* name : kNames)
    for (const std::string& folder : folders)
      if (const std::string candidate = folder + "/" + name; isExecutableFile(candidate)) return candidate;
  return {};
}

std::string roundedPair(const std::string& text) {
  const std::size_t comma = text.find(',');
  double first = 0, second = 0;
  if (comma == std::string::npos || !parseNumber(text.substr(0, comma), first) ||
      !parseNumber(text.substr(comma + 1), second))
    return {};
  return std::to_string(std::lround(first)) + "," + std::to_string(std::lround(second));
}

std::string refusedFlag(const std::string& flag) {
  // The browser reads "-name" like "--name", and names are case-sensitive.
  std::string_view name(flag);
  for (int dash = 0; dash < 2 && name.starts_with('-'); ++dash) name.remove_prefix(1);
  if (name.size() == flag.size()) return {};  // not a flag
  name = name.substr(0, name.find('='));
  if (name.starts_with("remote-debugging-"))
    return "the debugging endpoint stays on loopback at a port of the browser's choosing";
  if (name == "remote-allow-origins") return "web pages must not reach the debugging endpoint";
  if (name == "user-data-dir") return "each account keeps its own profile";
  return {};
}

bool answersAsBrowser(const std::string& executable) {
  if (!isExecutableFile(executable)) return false;
  // Absolute, so that a bare name runs the file just checked, not one on the PATH.
  std::error_code error;
  const std::string program = std::filesystem::absolute(executable, error).string();
  const std::string answer = runCommand({program, "--version"}, kVersionAnswerLimit).output;
  // "Chromium 120.0.6099.224 built on Debian", "Google Chrome 120.0...",
  // "Microsoft Edge 120.0...": a browser name, then its version number.
  for (const char* name : {"Chromium ", "Chrome ", "Edge "}) {
    const std::size_t at = answer.find(name);
    if (at != std::string::npos && std::isdigit(static_cast<unsigned char>(answer[at + std::strlen(name)]))) return true;
  }
  return false;
}

std::vector<std::string> browserArguments(const LaunchSettings& settings) {
  std::vector<std::string> arguments = {
      // One profile per account keeps log-ins apart; recent browsers also
      // refuse remote debugging on the default profile.
      "--user-data-dir=" + settings.profileDirectory,
      // Any free port; the browser writes the one it took to
      // DevToolsActivePort in the profile. It listens on loopback only.
      "--remote-debugging-port=0",
      // No welcome tab, import dialog or default-browser question: the
      // first page must be ours.
      "--no-first-run",
      "--no-default-browser-check",
      // This machine is offline: without these the browser keeps trying
      // update, sync, variation and QUIC connections that all fail.
      "--disable-background-networking",
      "--disable-component-update",
      "--disable-sync",
      "--disable-quic",
      "--disable-domain-reliability",
      "--disable-client-side-phishing-detection",
      "--disable-breakpad",
      "--disable-features=Translate,MediaRouter,OptimizationHints,InterestFeedContentSuggestions",
      // Unattended pages must keep their timers running when the window is
      // hidden or covered, or upload progress stalls.
      "--disable-background-timer-throttling",
      "--disable-backgrounding-occluded-windows",
      "--disable-renderer-backgrounding",
      // No prompt for a desktop keyring that an unattended session cannot
      // answer.
      "--password-store=basic",
      // Software rendering: virtual machines and servers have no usable GPU
      // and the GPU process would crash or spin.
      "--disable-gpu",
  };
  if (settings.headless) {
    // No display to show a window on.
    arguments.emplace_back("--headless=new");
  }
  if (settings.runningAsRoot) {
    // The browser's sandbox refuses to run as root.
    arguments.emplace_back("--no-sandbox");
  }
  if (const std::string size = roundedPair(settings.windowSize); !size.empty())
    arguments.push_back("--window-size=" + size);
  if (const std::string position = roundedPair(settings.windowPosition); !position.empty())
    arguments.push_back("--window-position=" + position);
  for (const std::string& flag : settings.extraFlags)
    if (!flag.empty() && refusedFlag(flag).empty()) arguments.push_back(flag);
  arguments.push_back(settings.startUrl);
  return arguments;
}

std::string browserLogPath(const std::string& profileDirectory) {
  return profileDirectory + "/vidralo-browser.log";
}

Spawned spawnDetached(const std::string& executable, const std::vector<std::string>& arguments,
                      const std::string& logPath) {
  // Everything the child needs is prepared before fork: after it, only
  // async-signal-safe calls are allowed in a threaded program.
  std::vector<std::string> storage;
  storage.reserve(arguments.size() + 1);
  storage.push_back(executable);
  storage.insert(storage.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& each : storage) argv.push_back(each.data());
  argv.push_back(nullptr);
  std::vector<std::string> environment;
  for (char** entry = environ; *entry; ++entry) environment.emplace_back(*entry);
  environment = browserEnvironment(environment);
  std::vector<char*> envp;
  for (std::string& each : environment) envp.push_back(each.data());
  envp.push_back(nullptr);

  Spawned result;
  const int logFd = ::open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  const int nullFd = ::open("/dev/null", O_RDWR | O_CLOEXEC);
  int report[2] = {-1, -1};
  int release[2] = {-1, -1};
  if (logFd < 0 || nullFd < 0 || ::pipe2(report, O_CLOEXEC) != 0 || ::pipe2(release, O_CLOEXEC) != 0) {
    result.error = std::string("cannot prepare the browser's output: ") + std::strerror(errno);
    for (int fd : {logFd, nullFd, report[0], report[1], release[0], release[1]})
      if (fd >= 0) ::close(fd);
    return result;
  }

  const pid_t middle = ::fork();
  if (middle == 0) {
    ::setsid();  // a session of its own: no terminal signals reach it from ours
    ::close(release[1]);
    const pid_t browser = ::fork();
    if (browser == 0) becomeBrowser(executable.c_str(), argv.data(), envp.data(), nullFd, logFd, report[1]);
    const pid_t reported = browser > 0 ? browser : -errno;
    writeAll(report[1], &reported, sizeof reported);
    ::close(report[1]);
    // Stays until the parent holds the browser: until then the browser is
    // our child, so its id cannot pass to another process even if it ends.
    char ignored;
    while (::read(release[0], &ignored, 1) < 0 && errno == EINTR) {
    }
    ::_exit(0);
  }
  ::close(report[1]);
  ::close(release[0]);
  ::close(logFd);
  ::close(nullFd);
  if (middle < 0) {
    result.error = std::string("fork failed: ") + std::strerror(errno);
    ::close(report[0]);
    ::close(release[1]);
    return result;
  }

  pid_t browser = 0;
  const bool reported = readAll(report[0], &browser, sizeof browser) && browser > 0;
  ProcessHandle held = reported ? ProcessHandle::open(browser) : ProcessHandle();
  ::close(release[1]);
  int status = 0;
  while (::waitpid(middle, &status, 0) < 0 && errno == EINTR) {
  }

  if (!reported) {
    result.error = std::string("fork failed: ") + std::strerror(browser < 0 ? -browser : ECHILD);
  } else if (int execError = 0; readAll(report[0], &execError, sizeof execError)) {
    result.error = "cannot run " + executable + ": " + std::strerror(execError);
  } else if (!held) {
    result.error = std::string("cannot hold the browser process: ") + std::strerror(errno);
  } else {
    result.process = std::move(held);
  }
  ::close(report[0]);
  return result;
}

std::string DevToolsEndpoint::webSocketUrl() const {
  return "ws://127.0.0.1:" + std::to_string(port) + browserPath;
}

std::string activePortFile(const std::string& profileDirectory) {
  return profileDirectory + "/DevToolsActivePort";
}

std::optional<DevToolsEndpoint> readActivePort(const std::string& profileDirectory) {
  std::ifstream in(activePortFile(profileDirectory));
  std::string portLine, pathLine;
  // The browser writes the file in one go, but a reader may still see it
  // half written: both lines must be there.
  if (!std::getline(in, portLine) || !std::getline(in, pathLine)) return std::nullopt;
  if (!pathLine.empty() && pathLine.back() == '\r') pathLine.pop_back();
  DevToolsEndpoint endpoint;
  endpoint.port = std::atoi(portLine.c_str());
  endpoint.browserPath = pathLine;
  if (endpoint.port <= 0 || endpoint.port > 65535 || !endpoint.browserPath.starts_with("/devtools/browser/"))
    return std::nullopt;
  return endpoint;
}

std::string fileTail(const std::string& path, std::size_t maxBytes) {
  std::ifstream in(path, std::ios::binary);
  std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  if (text.size() <= maxBytes) return text;
  text.erase(0, text.size() - maxBytes);
  if (const std::size_t newline = text.find('\n'); newline != std::string::npos && newline + 1 < text.size())
    text.erase(0, newline + 1);
  return text;
}

}  // namespace vidralo::cdp
