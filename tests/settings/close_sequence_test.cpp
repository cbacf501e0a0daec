#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "common/program_dir.h"
#include "controls/control_model.h"
#include "settings/close_sequence.h"
#include "settings/ini_profile.h"
#include "settings/process_end.h"
#include "support/temp_dir.h"

namespace vidralo {
namespace {

using test::readFile;

std::string markerFile;

void appendMarker(const std::string& text) { std::ofstream(markerFile, std::ios::app) << text << ";"; }

TEST(CloseSequenceDeathTest, SavesEverythingThenEndsTheProcessAtOnce) {
  test::TempDir dir;
  const std::string previousDirectory = programDirectory();
  setProgramDirectory(dir.path());
  markerFile = dir.file("marker");

  ControlModel window;
  window.setText(ControlId::宽带_账号, "user");
  window.setChecked(ControlId::单选框_移动, true);
  window.addItem(ControlId::组合框_一级分类, {"电影", 1});
  window.setCurrentIndex(ControlId::组合框_一级分类, 0);
  std::string settingsPath;  // start-up normally fills it; empty means the default file
  const std::string expectedPath = dir.file("data/setsoft.ini");

  const CloseActions actions{
      [&] { appendMarker("hide"); },
      [&] { appendMarker(std::filesystem::exists(expectedPath) ? "hotkey-after-save" : "hotkey"); }};
  EXPECT_EXIT(
      {
        std::atexit([] { appendMarker("exit-handlers-ran"); });
        runCloseSequence(window, settingsPath, actions);
      },
      ::testing::ExitedWithCode(0), "");

  EXPECT_EQ(readFile(markerFile), "hide;hotkey;");
  IniProfile saved(expectedPath);
  EXPECT_EQ(saved.value("编辑框", "宽带_账号"), "user");
  EXPECT_EQ(saved.value("编辑框", "编辑框_视频间隔"), "80");
  EXPECT_EQ(saved.value("单选框", "单选框_移动"), "真");
  EXPECT_EQ(saved.value("单选框", "单选框_删除"), "假");
  EXPECT_EQ(saved.value("组合框", "组合框_一级分类"), "电影<|>1<||>0<|>电影");
  setProgramDirectory(previousDirectory);
}

TEST(CloseSequenceDeathTest, ASaveThatFailsIsReportedBeforeTheEnd) {
  test::TempDir dir;
  markerFile = dir.file("marker");
  std::string settingsPath = dir.write("setsoft.ini", "[编辑框]\r\n");
  ::chmod(settingsPath.c_str(), 0444);
  ControlModel window;
  CloseActions actions;
  actions.reportSaveFailure = [](const std::string& message) { appendMarker(message); };
  EXPECT_EXIT(runCloseSequence(window, settingsPath, actions), ::testing::ExitedWithCode(0), "");
  EXPECT_EQ(readFile(markerFile), "设置无法保存：" + settingsPath + ";");
  EXPECT_EQ(readFile(settingsPath), "[编辑框]\r\n");
}

TEST(CloseSequenceDeathTest, WorksWithoutAWindowToHide) {
  test::TempDir dir;
  const std::string path = dir.file("setsoft.ini");
  std::string settingsPath = path;
  ControlModel window;
  EXPECT_EXIT(runCloseSequence(window, settingsPath, {}), ::testing::ExitedWithCode(0), "");
  EXPECT_EQ(IniProfile(path).value("编辑框", "放弃秒"), "300");
}

// Starts a copy of `sleep` under `name`; returns once the copy runs.
pid_t startRenamedSleep(const test::TempDir& dir, const std::string& name) {
  const std::string program = dir.file(name);
  std::filesystem::copy_file("/bin/sleep", program);
  std::filesystem::permissions(program, std::filesystem::perms::owner_all);
  int ready[2];
  if (::pipe2(ready, O_CLOEXEC) != 0) return -1;
  const pid_t child = ::fork();
  if (child == 0) {
    ::execl(program.c_str(), name.c_str(), "1000", static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::close(ready[1]);
  char byte;
  // The write end closes when exec succeeds (or the child ends).
  while (::read(ready[0], &byte, 1) < 0 && errno == EINTR) {
  }
  ::close(ready[0]);
  return child;
}

TEST(EndProcessByName, EndsAnotherProcessByItsFileName) {
  test::TempDir dir;
  const pid_t child = startRenamedSleep(dir, "vidralo-probe");
  ASSERT_GT(child, 0);

  EXPECT_FALSE(endProcessByName("VIDRALO-PROBE", true));
  EXPECT_FALSE(endProcessByName("vidralo-prob", false));
  EXPECT_FALSE(endProcessByName("", false));
  EXPECT_TRUE(endProcessByName("VIDRALO-PROBE", false));
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFSIGNALED(status));
  EXPECT_FALSE(endProcessByName("no-such-program-anywhere", false));
}

// Runs only inside the uniquely named copy started below: no other process
// carries that name, so the own name must find nothing.
TEST(EndProcessByName, OwnNameInsideAUniqueCopy) {
  if (!std::getenv("VIDRALO_OWN_NAME_CHECK")) GTEST_SKIP() << "runs inside the copy only";
  const std::string ownName = std::filesystem::read_symlink("/proc/self/exe").filename().string();
  EXPECT_FALSE(endProcessByName(ownName, true));
  EXPECT_FALSE(endProcessByName(ownName, false));
}

TEST(EndProcessByName, NeverEndsTheOwnProcess) {
  // Other cases of this test program run in parallel under the same name, so
  // the check runs in a copy whose name is this process's alone.
  test::TempDir dir;
  const std::string copy = dir.file("vidralo-own-name-" + std::to_string(::getpid()));
  std::filesystem::copy_file("/proc/self/exe", copy);
  std::filesystem::permissions(copy, std::filesystem::perms::owner_all);
  const std::string command = "VIDRALO_OWN_NAME_CHECK=1 '" + copy +
                              "' --gtest_filter=EndProcessByName.OwnNameInsideAUniqueCopy > /dev/null 2>&1";
  EXPECT_EQ(std::system(command.c_str()), 0);
}

}  // namespace
}  // namespace vidralo
