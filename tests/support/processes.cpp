#include "support/processes.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <thread>

namespace vidralo::test {
namespace {

// Empty when a process ends while it is read (the stream throws then).
std::string readProcFile(const std::string& path) {
  try {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  } catch (const std::ios_base::failure&) {
    return {};
  }
}

// A zombie has ended; only its parent has not collected it yet.
bool isZombie(const std::string& pid) {
  const std::string stat = readProcFile("/proc/" + pid + "/stat");
  const std::size_t close = stat.rfind(')');
  return close == std::string::npos || close + 2 >= stat.size() || stat[close + 2] == 'Z' || stat[close + 2] == 'X';
}

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
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    std::vector<ProcessLine> left = browsersOnOwnProfiles();
    while (!left.empty() && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      left = browsersOnOwnProfiles();
    }
    for (const ProcessLine& process : left) {
      ADD_FAILURE() << "a browser process was left running: " << process.pid << " " << process.commandLine;
      ::kill(process.pid, SIGKILL);
    }
  }
};

}  // namespace

std::vector<ProcessLine> processesMentioning(const std::string& text) {
  std::vector<ProcessLine> found;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator("/proc", error)) {
    const std::string name = entry.path().filename().string();
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    std::string line = readProcFile("/proc/" + name + "/cmdline");
    std::replace(line.begin(), line.end(), '\0', ' ');
    if (line.find(text) == std::string::npos || isZombie(name)) continue;
    found.push_back({static_cast<pid_t>(std::stol(name)), line});
  }
  return found;
}

void recordTemporaryFolder(const std::string& path) {
  std::lock_guard lock(foldersMutex);
  temporaryFolders().push_back(path);
}

void failWhenBrowsersAreLeftBehind() { ::testing::AddGlobalTestEnvironment(new NoBrowserLeftBehind); }

}  // namespace vidralo::test
