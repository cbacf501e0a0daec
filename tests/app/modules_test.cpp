// The window, the status page and the demo's platform are modules of the real
// executable: the demo publishes through its module, the terminal commands
// need none, and a chosen front end whose module is missing is named.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/runtime/exit_codes.h"
#include "headless_fixture.h"
#include "support/temp_dir.h"

namespace vidralo {
namespace {

using namespace std::chrono_literals;
using test::CommandRun;

TEST(DemoRun, PublishesItsSixVideosWithoutAWindow) {
  test::TempDir dir;
  test::TempDir output;
  std::filesystem::create_directories(dir.file("demo"));
  // No locale at all, as a service starts: the demo's videos have Chinese
  // names, which the browser takes only with a UTF-8 character type.
  CommandRun run(output,
                 {"--demo", "--headless", "--dir", dir.file("demo"), "--set", "编辑框_视频间隔=0", "--set",
                  "编辑框_视频间隔1=0"},
                 {"PATH=/usr/bin:/bin", "HOME=" + dir.path()});
  EXPECT_EQ(run.wait(300s), kExitOk) << run.errors();
  EXPECT_NE(run.output().find("模拟平台记录了 6 个发表"), std::string::npos) << run.output();
}

TEST(Modules, TerminalCommandsNeedNoneAndAMissingOneIsNamedWithItsFrontEndsCode) {
  test::TempDir dir;
  std::filesystem::create_directories(dir.file("bin"));
  std::filesystem::create_directories(dir.file("data"));
  std::filesystem::create_directories(dir.file("demo"));
  const std::string alone = dir.file("bin/vidralo");  // no modules beside it nor installed
  std::filesystem::copy_file(VIDRALO_EXECUTABLE, alone);
  struct Case {
    std::vector<std::string> arguments;
    int exitCode;
    std::string missing;  // the module named on standard error
  };
  const std::vector<Case> cases{
      {{"--list-settings", "--dir", dir.file("data")}, kExitOk, ""},
      {{"--headless", "--dir", dir.file("data")}, kExitNoPlatform, ""},
      {{"--dir", dir.file("data")}, kExitNoDisplay, "vidralo-window.so"},
      {{"--headless", "--status-port", "1", "--dir", dir.file("data")}, kExitStatusRefused, "vidralo-status.so"},
      {{"--demo", "--headless", "--dir", dir.file("demo")}, kExitDemoFailed, "vidralo-demo.so"},
  };
  for (const Case& c : cases) {
    test::TempDir output;
    CommandRun run(output, c.arguments, {"PATH=/usr/bin:/bin", "HOME=" + dir.path()}, alone);
    EXPECT_EQ(run.wait(60s), c.exitCode) << c.arguments.front() << ": " << run.errors();
    if (!c.missing.empty()) {
      EXPECT_NE(run.errors().find("/" + c.missing + ": "), std::string::npos) << run.errors();
    }
  }
}

}  // namespace
}  // namespace vidralo
