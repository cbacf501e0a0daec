#pragma once
// The headless program as an operator starts it: the real executable, the
// real Chromium and the simulated upload page, with accounts logged in once.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "automation/browser_session.h"
#include "automation/cdp/browser_process.h"
#include "automation/cdp/cdp_engine.h"
#include "common/program_dir.h"
#include "simulator/simulated_platform.h"
#include "support/poll.h"
#include "support/temp_dir.h"

extern char** environ;

namespace vidralo::test {

using namespace std::chrono_literals;

// One run of the executable with its output in files.
class CommandRun {
 public:
  // `environment`: "NAME=VALUE" texts; empty: this process's environment.
  CommandRun(const TempDir& dir, std::vector<std::string> arguments, std::vector<std::string> environment = {},
             std::string executable = VIDRALO_EXECUTABLE)
      : out_(dir.file("stdout.txt")), err_(dir.file("stderr.txt")) {
    arguments.insert(arguments.begin(), std::move(executable));
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, err_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<char*> envp;
    for (std::string& variable : environment) envp.push_back(variable.data());
    envp.push_back(nullptr);
    posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environment.empty() ? environ : envp.data());
    posix_spawn_file_actions_destroy(&actions);
  }
  ~CommandRun() {
    if (pid_ > 0 && !exited_) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }
  // The exit code, or -1 when the program did not end within `limit`.
  int wait(std::chrono::seconds limit) {
    int status = 0;
    if (!pollUntil([&] { return waitpid(pid_, &status, WNOHANG) == pid_; }, limit)) return -1;
    exited_ = true;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  bool waitForOutput(const std::string& text, std::chrono::seconds limit) const {
    return pollUntil([&] { return output().find(text) != std::string::npos; }, limit, 100ms);
  }
  void signal(int number) const { kill(pid_, number); }
  pid_t pid() const { return pid_; }
  std::string output() const { return readFile(out_); }
  std::string errors() const { return readFile(err_); }

 private:
  std::string out_, err_;
  pid_t pid_ = -1;
  bool exited_ = false;
};

class HeadlessRun : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(platform.start());
    dir.write("config.ini", "[hosts]\nplatform = " + platform.origin() + "\n");
  }
  void TearDown() override {
    closeBrowsersLeftOnProfiles();
    platform.stop();
  }

  // The program leaves its browsers running, as it should; a test closes
  // them, taking each over as the next run of the program would.
  void closeBrowsersLeftOnProfiles() {
    cdp::CdpEngine engine{cdp::CdpEngine::Config{cdp::CdpEngine::Headless::On}};
    if (!engine.globalInit("")) return;
    std::error_code error;
    for (const auto& profile : std::filesystem::directory_iterator(dir.file("huancun"), error))
      if (cdp::findBrowserProcess(profile.path().string()) > 0)
        engine.startBrowser("", {profile.path().string(), "960,1038", "1,1"});
    engine.closeBrowsers();
  }

  // A record and a folder of videos; the profile logged in once, as the
  // operator does by hand.
  void addAccount(const std::string& id, const std::string& nickname, std::vector<std::size_t> sizes) {
    for (std::size_t i = 0; i < sizes.size(); ++i)
      dir.write("videos" + id + "/" + std::string(1, static_cast<char>('a' + i)) + ".mp4", std::string(sizes[i], 'v'));
    dir.write("data/list/" + id + ".json",
              R"({"昵称":"","素材目录":")" + dir.file("videos" + id) + R"(","缓存id":")" + id + R"("})");
    setProgramDirectory(dir.path());
    cdp::CdpEngine engine{cdp::CdpEngine::Config{cdp::CdpEngine::Headless::On}};
    engine.setRunDirectory(dir.path());
    ASSERT_TRUE(engine.globalInit(""));
    const StartedBrowser login = engine.startBrowser(platform.loginUrl(nickname), {profileDirectory(id), "960,1038", "1,1"});
    ASSERT_TRUE(engine.waitPageLoaded(login.sessionId, "视频拖拽"));
    engine.closeBrowsers();
    setProgramDirectory("");
  }

  std::vector<std::string> command(std::vector<std::string> sets) const {
    std::vector<std::string> arguments{"--headless", "--dir", dir.path()};
    for (std::string& set : sets) {
      arguments.push_back("--set");
      arguments.push_back(std::move(set));
    }
    return arguments;
  }

  TempDir dir;
  sim::SimulatedPlatform platform;
};

}  // namespace vidralo::test
