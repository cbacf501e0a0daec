// The headless run from the command line, exactly as an operator types it:
// the real executable, the real Chromium and the simulated upload page.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <filesystem>

#include "app/runtime/command_line.h"
#include "app/runtime/demo_setup.h"
#include "app/runtime/exit_codes.h"
#include "app/headless/headless_run.h"
#include "automation/browser_session.h"
#include "automation/cdp/browser_process.h"
#include "automation/cdp/cdp_engine.h"
#include "common/gbk.h"
#include "common/program_dir.h"
#include "services_sim/simulated_services.h"
#include "common/text_rules.h"
#include "simulator/simulated_platform.h"
#include "support/ip_lookup_site.h"
#include "support/poll.h"
#include "support/run_log_text.h"
#include "support/processes.h"
#include "support/stand_in_dial_tools.h"
#include "support/temp_dir.h"
#include "headless_fixture.h"

namespace vidralo {
namespace {

using namespace std::chrono_literals;
using test::CommandRun;
using test::HeadlessRun;

TEST_F(HeadlessRun, PublishesEveryVideoThenSavesAndExits) {
  addAccount("501", "五零一", {1500, 2500});
  addAccount("502", "五零二", {3500});
  CommandRun run(dir, command({"选择框_自动循环=假", "编辑框_视频间隔=0", "编辑框_视频间隔1=1", "编辑框_单账号上传=2",
                               "单选框_选择视频_顺序=真", "描述_标题库=真", "编辑框_标题库=第一\r\n第二\r\n第三"}));
  ASSERT_EQ(run.wait(240s), 0) << run.errors();

  const std::vector<sim::Publication> expected{
      {"五零一", "a.mp4", 1500, "第一"}, {"五零一", "b.mp4", 2500, "第二"}, {"五零二", "a.mp4", 3500, "第三"}};
  EXPECT_EQ(platform.publications(), expected);
  EXPECT_FALSE(std::filesystem::exists(dir.file("videos501/a.mp4")));
  const std::string output = run.output();
  EXPECT_NE(output.find("[账号 501] 今天已发: 2"), std::string::npos) << output;
  EXPECT_NE(output.find("[账号 502] 今天已发: 1"), std::string::npos);
  EXPECT_NE(output.find("[账号 501] 状态: 延时"), std::string::npos);
  EXPECT_NE(output.find("[分组框_控制] 标题: 当前设置，每个账号发布2个视频后切换"), std::string::npos);
  EXPECT_NE(output.find("程序目录：" + dir.path() + "\n"), std::string::npos) << "it says where its data is";
  // The summary at the end: 502 had one video for a turn of two.
  EXPECT_NE(output.find("\n运行小结：用时 "), std::string::npos);
  EXPECT_NE(output.find("\n账号 501（五零一）：发布 2，失败 0，跳过 0\n"), std::string::npos);
  EXPECT_NE(output.find("\n账号 502（五零二）：发布 1，失败 0，跳过 1\n"), std::string::npos);
  // The values given on the command line were saved as the close sequence does.
  const std::string settings = gbkToUtf8(test::readFile(dir.file("data/setsoft.ini")));
  EXPECT_NE(settings.find("编辑框_单账号上传=2"), std::string::npos);
  EXPECT_NE(settings.find("描述_标题库=真"), std::string::npos);
}

TEST_F(HeadlessRun, TerminationDuringAnUploadStopsWithoutPublishingOrDisposing) {
  addAccount("511", "五一一", {4000});
  platform.setUploadNeverCompletes(true);
  CommandRun run(dir, command({"编辑框_视频间隔=0", "编辑框_视频间隔1=0"}));
  ASSERT_TRUE(run.waitForOutput("状态: 耗时：5/", 120s)) << run.output() << run.errors();
  const auto stopAt = std::chrono::steady_clock::now();
  run.signal(SIGTERM);
  EXPECT_EQ(run.wait(60s), 0);
  EXPECT_LT(std::chrono::steady_clock::now() - stopAt, 30s);
  EXPECT_TRUE(platform.publications().empty());
  EXPECT_TRUE(std::filesystem::exists(dir.file("videos511/a.mp4")));
  EXPECT_TRUE(std::filesystem::exists(dir.file("data/setsoft.ini")));
}

TEST_F(HeadlessRun, ChangesTheIpAfterEachAccountAndPrintsTheRedialStatus) {
  addAccount("521", "五二一", {1200});
  addAccount("522", "五二二", {1300});
  test::IpLookupSite lookup;
  dir.write("config.ini", "[hosts]\nplatform = " + platform.origin() + "\niplookup = " + lookup.origin() + "\n");
  // NetworkManager's stand-in dials; its link is the loopback interface.
  dir.write("nm-running", "running\n");
  const test::StandInDialTools standIns(dir);
  CommandRun run(dir, command({"选择框_自动循环=假", "编辑框_视频间隔=0", "编辑框_视频间隔1=0", "选择框_换ip=真",
                               "宽带_账号=op", "宽带_密码=s3cret"}));
  ASSERT_EQ(run.wait(240s), 0) << run.errors();

  EXPECT_EQ(platform.publications().size(), 2u);
  const std::string output = run.output();
  std::size_t changes = 0;
  for (std::size_t at = 0; (at = output.find("[宽带_提示] 提示: 当前ip：203.0.113.7 / 重播成功新ip：127.0.0.1\n", at)) !=
                           std::string::npos;
       ++at)
    ++changes;
  EXPECT_EQ(changes, 2u) << output;
  EXPECT_EQ(test::readFile(dir.file("calls")).find("s3cret"), std::string::npos);
}

TEST_F(HeadlessRun, ARefusedPublicationNamesItsEvidenceAndKeepsTheVideo) {
  dir.write("config.ini", "[hosts]\nplatform = " + platform.origin() +
                              "\n[page]\npublished_sign = .publish-success\npublished_wait = 2\n");
  addAccount("521", "五二一", {2000});
  platform.setRefusePublications(true);
  CommandRun run(dir, command({"选择框_自动循环=假", "编辑框_单账号上传=1", "编辑框_视频间隔=0", "编辑框_视频间隔1=0"}));
  ASSERT_EQ(run.wait(240s), 0) << run.output() << run.errors();
  const std::string output = run.output();
  EXPECT_NE(output.find("[账号 521] 状态: 上传失败（证据：" + dir.file("logs/failures/")), std::string::npos) << output;
  EXPECT_NE(output.find("账号 521（五二一）：发布 0，失败 1，跳过 0"), std::string::npos);
  EXPECT_TRUE(std::filesystem::exists(dir.file("videos521/a.mp4")));
}

TEST_F(HeadlessRun, RefusesUnknownControlsAndKinds) {
  for (const char* bad : {"编辑框_没有=1", "按钮2=真", "选择框_自动循环=是", "放弃秒"}) {
    CommandRun run(dir, command({bad}));
    EXPECT_EQ(run.wait(30s), 2) << bad;
    EXPECT_FALSE(run.errors().empty()) << bad;
  }
  CommandRun stray(dir, {"--headless", "--dir", dir.path(), "--verbose"});
  EXPECT_EQ(stray.wait(30s), 2);
}

TEST_F(HeadlessRun, WithoutAPlatformHostItSaysSoAndFails) {
  dir.write("config.ini", "[hosts]\nplatform = \n");
  CommandRun run(dir, command({}));
  EXPECT_EQ(run.wait(30s), 3);
  EXPECT_NE(run.errors().find("platform"), std::string::npos) << run.errors();
}

TEST_F(HeadlessRun, WithoutABrowserItSaysSoAndFails) {
  // No browser on the PATH, and 编辑框_google names none.
  CommandRun run(dir, command({"编辑框_google=" + dir.file("no-browser")}), {"PATH=" + dir.path(), "HOME=" + dir.path()});
  EXPECT_EQ(run.wait(30s), 4);
  EXPECT_NE(run.errors().find("请下载安装谷歌浏览器后再使用"), std::string::npos) << run.errors();
}

// Ends the browsers a killed run left on profiles below `folder`.
void endBrowsersBelow(const std::string& folder) {
  for (const test::ProcessLine& process : test::processesMentioning("--user-data-dir=" + folder))
    kill(process.pid, SIGKILL);
}

std::vector<std::string> publishedNames(const sim::SimulatedPlatform& platform) {
  std::vector<std::string> names;
  for (const sim::Publication& publication : platform.publications()) names.push_back(publication.fileName);
  return names;
}

TEST_F(HeadlessRun, AKillRightAfterTheConfirmClickDoesNotPublishTheVideoAgain) {
  addAccount("521", "五二一", {1500, 2500});
  const std::vector<std::string> sets{"选择框_自动循环=假", "编辑框_视频间隔=0", "编辑框_视频间隔1=0",
                                      "编辑框_单账号上传=2", "单选框_选择视频_顺序=真", "单选框_删除=真"};
  const std::string journal = dir.file("data/published.jsonl");
  {
    CommandRun run(dir, command(sets));
    test::pollUntil(
        [&] { return !platform.publications().empty() && test::readFile(journal).find("a.mp4") != std::string::npos; },
        120s, 5ms);
    run.signal(SIGKILL);
    ASSERT_EQ(run.wait(30s), 128 + SIGKILL) << run.output() << run.errors();
  }
  ASSERT_EQ(publishedNames(platform), std::vector<std::string>{"a.mp4"});
  ASSERT_TRUE(std::filesystem::exists(dir.file("videos521/a.mp4"))) << "killed before the disposal";

  CommandRun again(dir, command(sets));
  EXPECT_EQ(again.wait(240s), 0) << again.errors();
  endBrowsersBelow(dir.path());
  EXPECT_EQ(publishedNames(platform), (std::vector<std::string>{"a.mp4", "b.mp4"}));
  EXPECT_FALSE(std::filesystem::exists(dir.file("videos521/a.mp4"))) << "disposed of by the next run";
}

TEST_F(HeadlessRun, DamagedRecordsAndUnsafeIdsNeverGetABrowserOnAnotherProfile) {
  addAccount("531", "五三一", {1500});
  const auto damaged = [&](const std::string& file, const std::string& nickname, const std::string& id) {
    dir.write("videos" + file + "/a.mp4", std::string(900, 'd'));
    dir.write("data/list/" + file + ".json", R"({"昵称":")" + nickname + R"(","素材目录":")" +
                                                 dir.file("videos" + file) + R"(","缓存id":")" + id + R"("})");
  };
  damaged("532", "坏\xFF", "532");  // one byte that is not UTF-8
  damaged("533", "", "/../../../x");
  damaged("534", "", "");
  CommandRun run(dir, command({"选择框_自动循环=假", "编辑框_视频间隔=0", "编辑框_视频间隔1=0"}));
  ASSERT_EQ(run.wait(240s), 0) << run.errors();

  const std::vector<sim::Publication> expected{{"五三一", "a.mp4", 1500, "a"}};
  EXPECT_EQ(platform.publications(), expected);
  const std::string output = run.output();
  EXPECT_NE(output.find("[账号 532] 状态: 记录无法读取，已跳过"), std::string::npos) << output;
  EXPECT_NE(output.find("状态: 账号标识无效，已跳过"), std::string::npos) << output;
  std::vector<std::string> profiles;
  for (const auto& entry : std::filesystem::directory_iterator(dir.file("huancun")))
    profiles.push_back(entry.path().filename());
  EXPECT_EQ(profiles, std::vector<std::string>{"vesko531"});
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(dir.file("huancun/vesko/../../../x")).lexically_normal()));
  for (const std::string& folder : {dir.file("huancun"), dir.file("huancun/vesko531")}) {
    struct stat info {};
    ASSERT_EQ(stat(folder.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u) << folder << ": the profile holds the log-in";
  }
}

TEST_F(HeadlessRun, SettingsThatCannotBeSavedAreReported) {
  const std::string settings = dir.write("data/setsoft.ini", "");
  chmod(settings.c_str(), 0444);
  CommandRun run(dir, command({"选择框_自动循环=假"}));
  EXPECT_EQ(run.wait(60s), kExitSettingsNotSaved);
  EXPECT_NE(run.errors().find("设置无法保存：" + settings), std::string::npos) << run.errors();
  EXPECT_NE(gbkToUtf8(test::readFile(dir.file("logs/error.log"))).find("设置无法保存"), std::string::npos);
}

TEST_F(HeadlessRun, AnnouncesANewerVersionAndPrintsTheDisclaimerWithoutAskingOrDownloading) {
  sim::SimulatedServices services;
  ASSERT_TRUE(services.start());
  services.setUpdateIndex(R"({"版本":"1.3","文件名":"v13","下载地址":")" + services.fileUrl("v13") + R"("})");
  dir.write("config.ini", "[hosts]\nupdate1 = " + services.mirrorBase(1) + "\n");
  std::filesystem::create_directories(dir.file("data"));
  const std::string config = dir.file("home/.config");
  CommandRun run(dir, command({}), {"HOME=" + dir.file("home"), "XDG_CONFIG_HOME=" + config, "PATH=/usr/bin:/bin"});
  EXPECT_EQ(run.wait(60s), 3);  // no platform host: the job does not start
  const auto asked = services.requests();
  services.stop();
  EXPECT_NE(run.output().find("发现新版本：v1.3（当前 v1.2）"), std::string::npos) << run.output();
  EXPECT_NE(run.errors().find("免责声明：\n  1、"), std::string::npos) << run.errors();
  EXPECT_FALSE(std::filesystem::exists(config + "/vidralo/vsbq.dll"));
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0].path, "/vidralo/index.json");
  const std::string log = test::runLogText(dir);
  for (const char* line : {"启动窗口创建完毕", "启动窗口线程", "显示版本号1.2", "版本检查结果1是最新版：0"})
    EXPECT_NE(log.find(line), std::string::npos) << line << log;
}

TEST(HeadlessArguments, SettingsKeepTheirOrderAndKind) {
  std::string error;
  const auto line =
      parseCommandLine({"vidralo", "--headless", "--set", "放弃秒=30", "--set=描述_标题库=真", "--set", "编辑框_标题库=a=b"}, error);
  ASSERT_TRUE(line) << error;
  const std::vector<ControlSetting>* settings = &line->settings;
  ASSERT_EQ(settings->size(), 3u);
  EXPECT_EQ((*settings)[2].value, "a=b");
  ControlModel controls;
  applyControlSettings(controls, *settings);
  EXPECT_EQ(controls.text(ControlId::放弃秒), "30");
  EXPECT_TRUE(controls.checked(ControlId::描述_标题库));
  EXPECT_FALSE(controls.checked(ControlId::描述_文件名));
  EXPECT_EQ(controls.text(ControlId::编辑框_标题库), "a=b");
}

struct StartCase {
  std::vector<std::string> arguments;  // "@TMP@" stands for the test's folder
  int exitCode;
  std::vector<std::string> output;  // texts of standard output and error together
  std::vector<std::string> environment = {};
};

// What a new user meets on a machine without a display.
TEST(FirstStart, HelpVersionBadOptionsNoDisplayAndBadDirectories) {
  test::TempDir dir;
  dir.write("a-file", "x");
  const std::vector<StartCase> cases{
      {{"--help"},
       kExitOk,
       {"Usage: vidralo", "--help", "--version", "--dir <DIR>", "--headless", "--set <NAME=VALUE>", "NAME=@FILE",
        "--demo", "--screenshot <FILE>", "--report-fault <FILE>"}},
      {{"--version"}, kExitOk, {"Vidralo 1.2\n"}},
      {{"--bogus"}, kExitBadArguments, {"bogus", "Usage: vidralo"}},
      {{"--dir", "@TMP@", "stray"}, kExitBadArguments, {"stray", "Usage: vidralo"}},
      {{"--dir", "@TMP@"}, kExitNoDisplay, {"--headless", "--demo"}},
      {{"--dir", "@TMP@"}, kExitNoDisplay, {"--headless"}, {"DISPLAY=:987"}},  // a display that cannot be opened
      {{"--headless", "--dir", "@TMP@/missing"}, kExitBadDirectory, {"程序目录不存在：@TMP@/missing"}},
      {{"--headless", "--dir", "@TMP@/a-file"}, kExitBadDirectory, {"程序目录不是目录：@TMP@/a-file"}},
  };
  for (const StartCase& c : cases) {
    std::vector<std::string> arguments;
    for (const std::string& argument : c.arguments) arguments.push_back(replaceAll(argument, "@TMP@", dir.path()));
    test::TempDir outputDir;
    std::vector<std::string> environment{"PATH=/usr/bin:/bin", "HOME=" + dir.path()};
    environment.insert(environment.end(), c.environment.begin(), c.environment.end());
    CommandRun run(outputDir, arguments, environment);
    const std::string joined = c.arguments.empty() ? "" : c.arguments.front();
    EXPECT_EQ(run.wait(30s), c.exitCode) << joined;
    const std::string output = run.output() + run.errors();
    for (const std::string& text : c.output)
      EXPECT_NE(output.find(replaceAll(text, "@TMP@", dir.path())), std::string::npos) << joined << ": " << output;
  }
  EXPECT_FALSE(std::filesystem::exists(dir.file("missing"))) << "a missing --dir is not created";
}

TEST(CommandLine, SetValuesComeFromFilesOnlyWhenTheyAreRegularFiles) {
  test::TempDir dir;
  dir.write("password.txt", "geheim\r\n");
  struct Case {
    std::string assignment;
    std::optional<std::string> value;  // nothing: refused
  };
  const std::vector<Case> cases{
      {"宽带_密码=@" + dir.file("password.txt"), "geheim"},
      {"编辑框_标题库=@@home", "@home"},
      {"编辑框_标题库=@" + dir.file("missing.txt"), std::nullopt},
      {"编辑框_标题库=@/dev/zero", std::nullopt},
      {"编辑框_标题库=@" + dir.path(), std::nullopt},
  };
  for (const Case& c : cases) {
    std::string error;
    const auto line = parseCommandLine({"vidralo", "--headless", "--set", c.assignment}, error);
    ASSERT_EQ(line.has_value(), c.value.has_value()) << c.assignment << ": " << error;
    if (line) {
      EXPECT_EQ(line->settings.at(0).value, *c.value);
    }
  }
}

TEST(DemoFolder, OnlyAnEmptyFolderOrAnEarlierDemoIsCleared) {
  test::TempDir dir;
  std::string error;
  dir.write("mine/notes.txt", "keep me");
  EXPECT_FALSE(resetDemoFolder(dir.file("mine"), error));
  EXPECT_TRUE(std::filesystem::exists(dir.file("mine/notes.txt")));
  EXPECT_FALSE(resetDemoFolder(dir.file("mine/notes.txt"), error));

  ASSERT_TRUE(resetDemoFolder(dir.file("demo"), error)) << error;
  dir.write("demo/data/list/901.json", "{}");
  ASSERT_TRUE(resetDemoFolder(dir.file("demo"), error)) << error;
  EXPECT_FALSE(std::filesystem::exists(dir.file("demo/data")));
  EXPECT_TRUE(std::filesystem::exists(dir.file(std::string("demo/") + kDemoFolderMarker)));
}

}  // namespace
}  // namespace vidralo
