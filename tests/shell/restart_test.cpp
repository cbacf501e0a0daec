#include "shell/restart.h"

#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>

#include "common/program_dir.h"
#include "support/poll.h"
#include "support/temp_dir.h"

extern char** environ;

namespace vidralo {
namespace {

TEST(RestartScriptTest, WaitsDeletesItselfAndStartsTheProgramWithItsArguments) {
  EXPECT_EQ(restartScriptText("/opt/v/Restart.sh", "/opt/v/vidralo", {"--dir", "/data"}, 2),
            "#!/bin/sh\n"
            "sleep 2\n"
            "rm -f -- '/opt/v/Restart.sh'\n"
            "exec '/opt/v/vidralo' '--dir' '/data'\n");
}

TEST(RestartScriptTest, QuotesEveryWordWhateverItHolds) {
  EXPECT_EQ(shellQuoted("a b"), "'a b'");
  EXPECT_EQ(shellQuoted("it's"), "'it'\\''s'");
  EXPECT_EQ(shellQuoted("$HOME \"x\" `y` \\"), "'$HOME \"x\" `y` \\'");
  EXPECT_EQ(shellQuoted(""), "''");
}

std::vector<std::string> linesOf(const std::string& path) {
  std::vector<std::string> lines;
  std::ifstream in(path);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

bool eventually(const std::function<bool()>& done) {
  return test::pollUntil(done, std::chrono::seconds(30), std::chrono::milliseconds(100));
}

// The program comes back after the delay, from a folder whose name needs
// quoting, with the same arguments, and the ending run saved nothing.
TEST(RestartTest, TheProgramComesBackWithTheSameArguments) {
  test::TempDir temp;
  const std::string folder = temp.file("dir with 'quote' $HOME \"x\"");
  std::filesystem::create_directories(folder);
  const std::string program = folder + "/probe";
  std::filesystem::copy_file(RESTART_PROBE, program);

  std::vector<std::string> words = {program, "--dir", folder, "a b", "it's $x"};
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  pid_t child = 0;
  ASSERT_EQ(posix_spawn(&child, program.c_str(), nullptr, nullptr, argv.data(), environ), 0);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

  const std::string log = folder + "/runs.log";
  const std::string arguments = "[--dir][" + folder + "][a b][it's $x]";
  ASSERT_TRUE(eventually([&] { return linesOf(log).size() >= 3; }));
  EXPECT_EQ(linesOf(log), (std::vector<std::string>{arguments, arguments, "saved"}));
  EXPECT_TRUE(eventually([&] { return !std::filesystem::exists(folder + "/Restart.sh"); }));
}

// Where no script can be written the program keeps running instead of
// vanishing without a successor.
TEST(RestartDeathTest, ReturnsWhenTheScriptCannotBeWritten) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        setProgramDirectory("/nonexistent-vidralo-folder/sub");
        restartAfterDelay(1);
        std::exit(3);
      },
      ::testing::ExitedWithCode(3), "");
}

}  // namespace
}  // namespace vidralo
