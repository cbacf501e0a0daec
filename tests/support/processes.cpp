#include "support/processes.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <mutex>

#include "automation/cdp/browser_process.h"
#include "support/poll.h"

namespace vidralo::test {
namespace {

std::mutex foldersMutex;
std::vector<std::string>& temporaryFolders() {
  static std::vector<std::string> folders;
  return folders;
}

// Browser processes on profiles inside the recorded folders.
std::vector<ProcessLine> browsersOnOwnProfiles() {
  std::vector<std::string> folders;
  {
    std::lock_guard lock(foldersMutex);
    folders = temporaryFolders();
  }
  std::vector<ProcessLine> found;
  for (const std::string& folder : folders)
    for (ProcessLine& process : processesMentioning("--user-data-dir=" + folder + "/")) found.push_back(std::move(process));
  return found;
}

class NoBrowserLeftBehind final : public ::testing::Environment {
 public:
  void TearDown() override {
    // Helpers end a moment after their browser.
    std::vector<ProcessLine> left;
    pollUntil([&] { return (left = browsersOnOwnProfiles()).empty(); }, std::chrono::seconds(10),
              std::chrono::milliseconds(100));
    for (const ProcessLine& process : left) {
      ADD_FAILURE() << "a browser process was left running: " << process.pid << " " << process.commandLine;
      ::kill(process.pid, SIGKILL);
    }
  }
};

}  // namespace

std::vector<ProcessLine> processesMentioning(const std::string& text) {
  std::vector<ProcessLine> found;
  for (pid_t pid : cdp::allProcesses()) {
    std::string line;
    for (const std::string& argument : cdp::processArguments(pid)) line += argument + ' ';
    if (line.find(text) == std::string::npos || !cdp::processAlive(pid)) continue;
    found.push_back({pid, line});
  }
  return found;
}

void recordTemporaryFolder(const std::string& path) {
  std::lock_guard lock(foldersMutex);
  temporaryFolders().push_back(path);
}

void failWhenBrowsersAreLeftBehind() { ::testing::AddGlobalTestEnvironment(new NoBrowserLeftBehind); }

}  // namespace vidralo::test
