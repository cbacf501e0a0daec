#pragma once
// Finding the browser executable, composing its command line and starting
// it detached, so that it outlives the program as an ordinary process.
#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "automation/cdp/browser_process.h"

namespace vidralo::cdp {

// `path` when it names an executable file; otherwise the first Chromium,
// Chrome or Edge found on the PATH; empty when there is none.
std::string findBrowserExecutable(const std::string& path);

struct LaunchSettings {
  std::string profileDirectory;
  std::string windowSize;      // "width,height", fractions allowed
  std::string windowPosition;  // "x,y"
  bool headless = false;
  bool runningAsRoot = false;
  std::vector<std::string> extraFlags;
  std::string startUrl = "about:blank";
};

// The arguments after the executable's name, in order. Extra flags that
// refusedFlag() names are left out.
std::vector<std::string> browserArguments(const LaunchSettings& settings);

// Why an extra flag must not reach the browser ("" when it may): flags that
// open the debugging endpoint to the network or to a fixed port, let web
// pages connect to it, or move the browser off the account's own profile.
std::string refusedFlag(const std::string& flag);

// True when `executable` runs and answers --version, within a few seconds,
// as a Chromium-family browser (Chromium, Google Chrome, Microsoft Edge).
bool answersAsBrowser(const std::string& executable);

// "682.5,1038" -> "683,1038": two numbers rounded to whole pixels; empty when
// the text is not two numbers separated by a comma.
std::string roundedPair(const std::string& text);

// `environment` (NAME=VALUE entries) as the browser gets it: with a UTF-8
// character type. Under the C locale or another that is not UTF-8 (a
// service started without LANG) the browser cannot turn a path handed over
// DevTools into a file name, and a video named in Chinese is never taken.
// The other categories keep what they had.
std::vector<std::string> browserEnvironment(const std::vector<std::string>& environment);

// The browser's own stderr goes here, so that a failed start can say why.
std::string browserLogPath(const std::string& profileDirectory);

struct Spawned {
  ProcessHandle process;  // the browser process; empty on failure
  std::string error;      // why it failed
};

// Starts `executable` with `arguments` in a session of its own (double fork:
// the browser is adopted by init, so it never becomes our zombie and keeps
// running after we end). stdin/stdout go to /dev/null, stderr to `logPath`.
// The browser is held by a pidfd opened while its id could not yet be
// reused (the intermediate process has not ended).
Spawned spawnDetached(const std::string& executable, const std::vector<std::string>& arguments,
                      const std::string& logPath);

// The browser's answer in <profile>/DevToolsActivePort: the port on
// 127.0.0.1 and the path of its browser-level WebSocket.
struct DevToolsEndpoint {
  int port = 0;
  std::string browserPath;  // "/devtools/browser/<id>"
  std::string webSocketUrl() const;
};

std::string activePortFile(const std::string& profileDirectory);
std::optional<DevToolsEndpoint> readActivePort(const std::string& profileDirectory);

// The last `maxBytes` of a text file, cut to whole lines where possible.
std::string fileTail(const std::string& path, std::size_t maxBytes);

}  // namespace vidralo::cdp
