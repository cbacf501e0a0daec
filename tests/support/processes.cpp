#include "support/processes.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
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
  // A browser killed on purpose leaves its socket folder in the temporary
  // directory: every process this program starts gets one of its own,
  // which goes at the end.
  void SetUp() override {
    std::string folder = (std::filesystem::temp_directory_path() / "vidralo-tests-XXXXXX").string();
    ASSERT_NE(::mkdtemp(folder.data()), nullptr);
    temporaryDirectory_ = folder;
    ::setenv("TMPDIR", folder.c_str(), 1);
  }

  void TearDown() override {
    endBrowsersLeft();
    std::error_code error;
    std::filesystem::remove_all(temporaryDirectory_, error);
  }

 private:
  void endBrowsersLeft() {
    // Helpers end a moment after their browser.
    std::vector<ProcessLine> left;
    pollUntil([&] { return (left = browsersOnOwnProfiles()).empty(); }, std::chrono::seconds(10),
              std::chrono::milliseconds(100));
    for (const ProcessLine& process : left) {
      ADD_FAILURE() << "a browser process was left running: " << process.pid << " " << process.commandLine;
      ::kill(process.pid, SIGKILL);
    }
  }

  std::string temporaryDirectory_;
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
