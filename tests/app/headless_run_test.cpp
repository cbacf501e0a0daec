// The headless run from the command line, exactly as an operator types it:
// the real executable, the real Chromium and the simulated upload page.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <sys/stat.h>

#include <httplib.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <filesystem>

#include "app/runtime/command_line.h"
#include "app/runtime/demo_setup.h"
#include "app/runtime/exit_codes.h"
#include "app/runtime/instance_lock.h"
#include "app/headless/headless_run.h"
#include "automation/browser_session.h"
#include "automation/cdp/browser_process.h"
#include "automation/cdp/cdp_engine.h"
#include "common/gbk.h"
#include "common/program_dir.h"
#include "services_sim/simulated_services.h"
#include "common/text_rules.h"
#include "history/history_listing.h"
#include "history/history_reader.h"
#include "history/history_store.h"
#include "log/date_time.h"
#include "simulator/simulated_platform.h"
#include "support/hostile_server.h"
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

// An answer that keeps a request alive for longer than any of these runs.
test::HostileAnswer endlessDrip() {
  test::HostileAnswer answer = test::drippingBody(100000, 500ms);
  answer.duration = 300s;
  return answer;
}

TEST_F(HeadlessRun, TerminationDuringASlowIpLookupEndsTheRun) {
  addAccount("523", "五二三", {1200});
  test::HostileServer lookup(endlessDrip());
  dir.write("config.ini", "[hosts]\nplatform = " + platform.origin() + "\niplookup = " + lookup.url("") + "\n");
  CommandRun run(dir, command({"选择框_自动循环=假", "编辑框_视频间隔=0", "编辑框_视频间隔1=0", "选择框_换ip=真"}));
  ASSERT_TRUE(test::pollUntil([&] { return lookup.connections() > 0; }, 240s)) << run.output() << run.errors();
  run.signal(SIGTERM);
  EXPECT_EQ(run.wait(30s), 0) << run.output();
  EXPECT_EQ(platform.publications().size(), 1u);
}

TEST_F(HeadlessRun, AnUpdateMirrorThatDripsHoldsUpNoEndOfTheRun) {
  test::HostileServer mirror(endlessDrip());
  dir.write("config.ini", "[hosts]\nupdate1 = " + mirror.url("/") + "\n");
  CommandRun run(dir, command({}));
  // No platform: the run ends while its version check still waits for the
  // mirror's answer.
  EXPECT_EQ(run.wait(30s), kExitNoPlatform);
}

TEST_F(HeadlessRun, TheStartRemovesWhatAKilledDownloadOrDialLeft) {
  dir.write("config.ini", "[hosts]\nplatform = \n");
  dir.write("v13.download.part-Ab12Cd", "reserved blocks");
  dir.write("tmp/vidralo-dial-k1lled/secret", "password \"pw\"\n");
  CommandRun run(dir, command({}), {"TMPDIR=" + dir.file("tmp"), "HOME=" + dir.path(), "PATH=/usr/bin:/bin"});
  EXPECT_EQ(run.wait(30s), kExitNoPlatform);
  EXPECT_FALSE(std::filesystem::exists(dir.file("v13.download.part-Ab12Cd")));
  EXPECT_FALSE(std::filesystem::exists(dir.file("tmp/vidralo-dial-k1lled")));
}

TEST_F(HeadlessRun, TerminationDuringStartUpEndsItBeforeTheJob) {
  // A browser that never answers --version holds the start-up up.
  const std::string browser = dir.write("slow-browser", "#!/bin/sh\necho > \"$0.asked\"\nexec sleep 60\n");
  std::filesystem::permissions(browser, std::filesystem::perms::owner_all);
  CommandRun run(dir, command({"编辑框_google=" + browser}));
  ASSERT_TRUE(test::pollUntil([&] { return std::filesystem::exists(browser + ".asked"); }, 30s)) << run.errors();
  run.signal(SIGTERM);
  EXPECT_EQ(run.wait(30s), 0) << run.errors();
  EXPECT_EQ(run.output().find("Vidralo 无窗口运行"), std::string::npos);
  EXPECT_EQ(run.errors().find("请下载安装谷歌浏览器后再使用"), std::string::npos) << "the check was cut short";
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

class HeadlessEndedAtThePublication : public HeadlessRun, public ::testing::WithParamInterface<int> {};

// The signal comes the moment the platform takes the video, before the page
// (and so the program) hears of it: the journal holds only the attempt.
TEST_P(HeadlessEndedAtThePublication, NoVideoIsPublishedTwice) {
  const int signal = GetParam();
  dir.write("config.ini", "[hosts]\nplatform = " + platform.origin() + "\n[page]\npublished_sign = .publish-success\n");
  addAccount("521", "五二一", {1500, 2500});
  const std::vector<std::string> sets{"选择框_自动循环=假", "编辑框_视频间隔=0", "编辑框_视频间隔1=0",
                                      "编辑框_单账号上传=2", "单选框_选择视频_顺序=真", "单选框_删除=真"};
  {
    CommandRun run(dir, command(sets));
    platform.setPublicationHook([&run, signal] { run.signal(signal); });
    const int code = run.wait(180s);
    platform.setPublicationHook(nullptr);
    ASSERT_EQ(code, signal == SIGKILL ? 128 + SIGKILL : 0) << run.output() << run.errors();
  }
  if (signal == SIGKILL) endBrowsersBelow(dir.path());
  ASSERT_EQ(publishedNames(platform), std::vector<std::string>{"a.mp4"});

  CommandRun again(dir, command(sets));
  EXPECT_EQ(again.wait(240s), 0) << again.errors();
  EXPECT_NE(again.output().find("[账号 521] 状态: 已点发表，结果未知"), std::string::npos) << again.output();
  EXPECT_EQ(publishedNames(platform), (std::vector<std::string>{"a.mp4", "b.mp4"}));
  EXPECT_TRUE(std::filesystem::exists(dir.file("videos521/a.mp4"))) << "kept until the operator has looked";
}

INSTANTIATE_TEST_SUITE_P(Signals, HeadlessEndedAtThePublication, ::testing::Values(SIGTERM, SIGKILL),
                         [](const auto& signal) { return std::string(signal.param == SIGKILL ? "Kill" : "Term"); });

TEST_F(HeadlessRun, ASecondInstanceOnTheSameDirectoryIsRefusedAndNamesTheHolder) {
  const InstanceLock first(dir.path(), std::chrono::milliseconds(0));
  ASSERT_TRUE(first.held());
  CommandRun second(dir, command({}));
  EXPECT_EQ(second.wait(60s), kExitAnotherInstance);
  EXPECT_NE(second.errors().find("进程号 " + std::to_string(::getpid())), std::string::npos) << second.errors();
  EXPECT_EQ(second.output().find("无窗口运行"), std::string::npos) << "nothing started";
}

TEST_F(HeadlessRun, AnUnwritableJournalStopsPublishingAndExits15) {
  addAccount("522", "五二二", {1500});
  std::filesystem::create_directories(dir.file("data/published.jsonl"));
  CommandRun run(dir, command({"选择框_自动循环=假", "编辑框_视频间隔=0", "编辑框_视频间隔1=0"}));
  EXPECT_EQ(run.wait(180s), kExitJournalUnwritable) << run.errors();
  EXPECT_TRUE(platform.publications().empty());
  EXPECT_NE(run.output().find("[账号 522] 状态: 发布记录无法写入"), std::string::npos) << run.output();
  EXPECT_NE(run.errors().find("发布记录无法写入：" + dir.file("data/published.jsonl")), std::string::npos);
}

TEST_F(HeadlessRun, AfterARestartTodaysPublicationsCountAndNewOnesAreRecorded) {
  addAccount("501", "五零一", {1500});
  addAccount("502", "五零二", {2500});
  {
    // An earlier run today published two videos for 501.
    HistoryStore store(dir.file("data/history.sqlite3"));
    for (int i = 0; i < 2; ++i) {
      HistoryRow row;
      row.time = formatDateTime(std::chrono::system_clock::now());
      row.accountId = "501";
      row.outcome = AttemptOutcome::Published;
      ASSERT_TRUE(store.append(row));
    }
  }
  CommandRun run(dir, command({"选择框_自动循环=假", "编辑框_视频间隔=0", "编辑框_视频间隔1=0", "编辑框_单账号上传=2"}));
  ASSERT_EQ(run.wait(240s), 0) << run.errors();

  EXPECT_EQ(publishedNames(platform), (std::vector<std::string>{"a.mp4"}));
  EXPECT_TRUE(std::filesystem::exists(dir.file("videos501/a.mp4"))) << "501 had published its two today";
  std::vector<std::string> rows;
  std::string error;
  readHistory(dir.file("data/history.sqlite3"), {"502", ""},
              [&rows](const HistoryRow& row) { rows.push_back(std::string(outcomeKey(row.outcome)) + " " + row.videoPath); },
              error);
  EXPECT_EQ(rows, (std::vector<std::string>{"published " + dir.file("videos502/a.mp4"), "skipped "}));
}

TEST_F(HeadlessRun, DamagedRecordsAndUnsafeIdsNeverGetABrowserOnAnotherProfile) {
  addAccount("531", "五三一", {1500});
  const auto damaged = [&](const std::string& file, const std::string& nickname, const std::string& id) {
    dir.write("videos" + file + "/a.mp4", std::string(900, 'd'));
    dir.write("data/list/" + file + ".json", R"({"昵称":")" + nickname + R"(","素材目录":")" +
                                                 dir.file("videos" + file) + R"(","缓存id":")" + id + R"("})");
  };
  damaged("532", "坏\xFF", "532");  // one byte that is not UTF-8
  damaged("533", "", "/../../x");  // the profile would be the test's own <dir>/x
  damaged("534", "", "");
  damaged("535", "", R"(53\u00005)");
  CommandRun run(dir, command({"选择框_自动循环=假", "编辑框_视频间隔=0", "编辑框_视频间隔1=0"}));
  ASSERT_EQ(run.wait(240s), 0) << run.errors();

  const std::vector<sim::Publication> expected{{"五三一", "a.mp4", 1500, "a"}};
  EXPECT_EQ(platform.publications(), expected);
  const std::string output = run.output();
  EXPECT_NE(output.find("[账号 532] 状态: 记录无法读取，已跳过"), std::string::npos) << output;
  EXPECT_NE(output.find("状态: 账号标识无效，已跳过"), std::string::npos) << output;
  EXPECT_NE(output.find("[账号 53\\x005] 状态: 账号标识无效，已跳过\n"), std::string::npos) << output;
  std::vector<std::string> profiles;
  for (const auto& entry : std::filesystem::directory_iterator(dir.file("huancun")))
    profiles.push_back(entry.path().filename());
  EXPECT_EQ(profiles, std::vector<std::string>{"vesko531"});
  EXPECT_FALSE(std::filesystem::exists(dir.file("x")));
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

  // Once per program directory: a service restarting the run is not flooded.
  CommandRun again(dir, command({}), {"HOME=" + dir.file("home"), "XDG_CONFIG_HOME=" + config, "PATH=/usr/bin:/bin"});
  EXPECT_EQ(again.wait(60s), 3);
  EXPECT_EQ(again.errors().find("免责声明"), std::string::npos) << again.errors();
}

// --- log-in state and the account commands ---

// The platform's log-in page is recognised by its sign; a short ready wait.
constexpr const char* kLoginPageConfig = "\n[page]\nlogin_sign = .login-tip\nready_wait = 5\n";

TEST_F(HeadlessRun, AnExpiredAccountIsPassedOverAtOnceWhileTheOtherPublishesAndTheRunSaysSo) {
  addAccount("551", "五五一", {1500, 1600});
  addAccount("552", "五五二", {2500});
  platform.expireSession("五五一");
  dir.write("config.ini", "[hosts]\nplatform = " + platform.origin() + kLoginPageConfig);
  CommandRun run(dir, command({"选择框_自动循环=假", "编辑框_视频间隔=0", "编辑框_视频间隔1=0", "选择框_切换账号=真",
                               "编辑框_单账号上传=2", "选择框_自动放弃=真", "放弃秒=300", "描述_文件名=真"}));
  ASSERT_TRUE(run.waitForOutput("[账号 551] 正在发布: ", 120s)) << run.errors();
  const auto begun = std::chrono::steady_clock::now();
  ASSERT_TRUE(run.waitForOutput("[账号 551] 状态: 未登录，已跳过（证据：", 60s)) << run.output();
  EXPECT_LE(std::chrono::steady_clock::now() - begun, 10s) << "ready_wait + 5 s, not the 300 s limit";
  EXPECT_EQ(run.wait(240s), kExitNotLoggedIn) << run.errors();

  const std::vector<sim::Publication> expected{{"五五二", "a.mp4", 2500, "a"}};
  EXPECT_EQ(platform.publications(), expected);
  EXPECT_TRUE(std::filesystem::exists(dir.file("videos551/a.mp4")));
  EXPECT_TRUE(std::filesystem::exists(dir.file("videos551/b.mp4")));
  const std::string output = run.output();
  EXPECT_EQ(output.find("[账号 551] 状态: 上传失败"), std::string::npos) << output;
  EXPECT_NE(output.find("\n账号 551：发布 0，失败 0，跳过 0，未登录 1\n"), std::string::npos) << output;
  EXPECT_NE(output.find("\n未登录的账号：551\n"), std::string::npos) << output;
}

class LoginCommand : public HeadlessRun {
 protected:
  void SetUp() override {
    HeadlessRun::SetUp();
    dir.write("config.ini", "[hosts]\nplatform = " + platform.origin() + kLoginPageConfig);
    std::filesystem::create_directories(dir.file("videos561"));
    dir.write("data/list/561.json", R"({"昵称":"自动获取","素材目录":")" + dir.file("videos561") + R"(","缓存id":"561"})");
  }
  // No display, whatever the test runs under: the browser runs headless.
  std::unique_ptr<CommandRun> login(const std::string& wait) {
    return std::make_unique<CommandRun>(
        dir, std::vector<std::string>{"--dir", dir.path(), "--login", "561", "--login-wait", wait},
        std::vector<std::string>{"PATH=/usr/bin:/bin", "HOME=" + dir.path()});
  }
};

TEST_F(LoginCommand, APhoneConfirmingTheCodeOnThePictureLogsTheProfileInAndTheNicknameIsRecorded) {
  const auto run = login("120");
  const std::string picture = dir.file("logs/login-561.png");
  ASSERT_TRUE(run->waitForOutput("：" + picture + "\n", 60s)) << run->output() << run->errors();
  EXPECT_EQ(test::readFile(picture).substr(0, 4), "\x89PNG");
  ASSERT_TRUE(test::pollUntil([&] { return !platform.waitingLoginCodes().empty(); }, 30s));
  httplib::Client phone(platform.origin());
  const auto confirmed = phone.Get("/sim/login/confirm?code=" + platform.waitingLoginCodes().back() + "&nickname=%E4%BA%94%E5%85%AD%E4%B8%80");
  ASSERT_TRUE(confirmed);
  EXPECT_EQ(confirmed->status, 200);
  ASSERT_EQ(run->wait(60s), kExitOk) << run->output() << run->errors();
  EXPECT_NE(run->output().find("账号 561 已登录（五六一）"), std::string::npos) << run->output();
  EXPECT_NE(test::readFile(dir.file("data/list/561.json")).find(R"("昵称": "五六一")"), std::string::npos)
      << test::readFile(dir.file("data/list/561.json"));
  EXPECT_TRUE(test::pollUntil([&] { return cdp::findBrowserProcess(dir.file("huancun/vesko561")) <= 0; }, 15s))
      << "the headless log-in browser is closed";
}

TEST_F(LoginCommand, EndsUnconfirmedAfterItsWaitOrOnCtrlC) {
  const auto waited = login("3");
  EXPECT_EQ(waited->wait(60s), kExitLoginTimedOut) << waited->errors();
  const auto stopped = login("120");
  ASSERT_TRUE(stopped->waitForOutput("login-561.png", 60s)) << stopped->errors();
  stopped->signal(SIGINT);
  EXPECT_EQ(stopped->wait(30s), kExitLoginStopped) << stopped->errors();
  EXPECT_NE(test::readFile(dir.file("data/list/561.json")).find("自动获取"), std::string::npos);
}

TEST_F(HeadlessRun, CheckLoginsNamesEachAccountsStateAndSucceedsOnlyWhenAllAreLoggedIn) {
  addAccount("571", "五七一", {});
  addAccount("572", "五七二", {});
  platform.expireSession("五七二");
  dir.write("data/list/573.json", "not a record");
  dir.write("config.ini", "[hosts]\nplatform = " + platform.origin() + kLoginPageConfig);
  CommandRun mixed(dir, {"--dir", dir.path(), "--check-logins"});
  EXPECT_EQ(mixed.wait(120s), kExitNotLoggedIn) << mixed.errors();
  for (const char* line : {"账号 571：已登录（五七一）\n", "账号 572：未登录\n", "账号 573：记录无法读取\n"})
    EXPECT_NE(mixed.output().find(line), std::string::npos) << line << mixed.output();

  std::filesystem::remove(dir.file("data/list/572.json"));
  std::filesystem::remove(dir.file("data/list/573.json"));
  CommandRun allIn(dir, {"--dir", dir.path(), "--check-logins"});
  EXPECT_EQ(allIn.wait(120s), kExitOk) << allIn.output() << allIn.errors();
}

TEST_F(HeadlessRun, AddAccountTakesTheLowestFreeIdAndRefusesBadInputWritingNothing) {
  std::filesystem::create_directories(dir.file("videos"));
  const std::string aFile = dir.write("file.mp4", "x");
  struct Case {
    std::vector<std::string> arguments;
    int exitCode;
  };
  const Case refused[] = {
      {{"--add-account", dir.file("missing")}, kExitCommandFailed},
      {{"--add-account", aFile}, kExitCommandFailed},
      {{"--add-account", dir.file("videos"), "--nickname", "a\nb"}, kExitCommandFailed},
      {{"--add-account", dir.file("videos"), "--nickname", ""}, kExitCommandFailed},
      {{"--nickname", "x"}, kExitBadArguments},
  };
  for (const Case& c : refused) {
    std::vector<std::string> arguments{"--dir", dir.path()};
    arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
    CommandRun run(dir, arguments);
    EXPECT_EQ(run.wait(30s), c.exitCode) << arguments.back();
    EXPECT_FALSE(run.errors().empty());
    EXPECT_FALSE(std::filesystem::exists(dir.file("data/list/100.json"))) << arguments.back();
  }

  dir.write("data/list/101.json", "{}");
  CommandRun first(dir, {"--dir", dir.path(), "--add-account", dir.file("videos"), "--nickname", "小王"});
  ASSERT_EQ(first.wait(30s), kExitOk) << first.errors();
  EXPECT_TRUE(first.output().ends_with("\n100\n")) << first.output();
  CommandRun second(dir, {"--dir", dir.path(), "--add-account", dir.file("videos")});
  ASSERT_EQ(second.wait(30s), kExitOk) << second.errors();
  EXPECT_TRUE(second.output().ends_with("\n102\n")) << second.output();
  const std::string record = test::readFile(dir.file("data/list/102.json"));
  for (const std::string& entry : {std::string(R"("昵称": "自动获取")"), R"("素材目录": ")" + dir.file("videos") + "\"",
                                   std::string(R"("缓存id": "102")")})
    EXPECT_NE(record.find(entry), std::string::npos) << entry << record;
  EXPECT_NE(test::readFile(dir.file("data/list/100.json")).find(R"("昵称": "小王")"), std::string::npos);
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
        "--demo", "--screenshot <FILE>", "--report-fault <FILE>", "--list-settings", "--accept-disclaimer",
        "--history", "--account <ID>", "--since <YYYY-MM-DD>", "--csv"}},
      {{"--version"}, kExitOk, {"Vidralo 1.2\n"}},
      {{"--bogus"}, kExitBadArguments, {"bogus", "Usage: vidralo"}},
      {{"--dir", "@TMP@", "stray"}, kExitBadArguments, {"stray", "Usage: vidralo"}},
      {{"--dir", "@TMP@"}, kExitNoDisplay, {"--headless", "--demo"}},
      {{"--dir", "@TMP@"}, kExitNoDisplay, {"--headless"}, {"DISPLAY=:987"}},  // a display that cannot be opened
      {{"--headless", "--dir", "@TMP@/missing"}, kExitBadDirectory, {"程序目录不存在：@TMP@/missing"}},
      {{"--headless", "--dir", "@TMP@/a-file"}, kExitBadDirectory, {"程序目录不是目录：@TMP@/a-file"}},
      // Every name --set takes, its kind, its default and its value in the program directory.
      {{"--list-settings", "--dir", "@TMP@"},
       kExitOk,
       {"名称\t类型\t默认值\t当前值\n", "\n编辑框_视频间隔1\t编辑框\t120\t9\n", "\n宽带_密码\t编辑框\t\t******\n",
        "\n选择框_自动循环\t选择框（真/假）\t真\t真\n", "\n单选框_删除\t单选框（真/假）\t真\t假\n",
        "\n编辑框_随机封面目录\t编辑框\t@TMP@/img\t@TMP@/img\n"}},
      {{"--accept-disclaimer"}, kExitOk, {"已接受免责声明（@TMP@/.config/vidralo/vsbq.dll）"}},
  };
  dir.write("data/setsoft.ini",
            utf8ToGbk("[编辑框]\r\n编辑框_视频间隔1=9\r\n宽带_密码=geheim\r\n[单选框]\r\n单选框_移动=真\r\n单选框_删除=假\r\n"));
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
  EXPECT_TRUE(std::filesystem::exists(dir.file(".config/vidralo/vsbq.dll")));
}

TEST(HistoryCommand, PrintsTheChosenRowsAloneOnStandardOutput) {
  test::TempDir dir;
  {
    HistoryStore store(dir.file("data/history.sqlite3"));
    for (const auto& [time, account, title] : std::vector<std::array<const char*, 3>>{
             {"2026-12-07 09:00:00", "501", "old"}, {"2026-12-08 09:00:00", "502", "other"},
             {"2026-12-08 10:00:00", "501", "a,b"}, {"2026-12-09 08:00:00", "501", "new"}}) {
      HistoryRow row;
      row.time = time;
      row.accountId = account;
      row.title = title;
      row.outcome = AttemptOutcome::Published;
      ASSERT_TRUE(store.append(row));
    }
  }
  test::TempDir garbage;
  garbage.write("data/history.sqlite3", std::string(4096, 'x'));
  struct Case {
    std::vector<std::string> arguments;
    int exitCode;
    std::string output;  // standard output, exactly
    std::string error;   // a text in standard error
  };
  const std::string header = historyCsvHeader() + "\n";
  const std::vector<Case> cases{
      {{"--history", "--account", "501", "--since", "2026-12-08", "--csv"},
       kExitOk,
       header + "2026-12-08 10:00:00,501,,,0,0,\"a,b\",published,,,,0\n2026-12-09 08:00:00,501,,,0,0,new,published,,,,0\n",
       "程序目录：" + dir.path()},
      {{"--history", "--since", "2026-12-09"}, kExitOk, "2026-12-09 08:00:00  账号 501  已发布  用时 0秒  标题：new\n", ""},
      {{"--history", "--since", "2026-12-9"}, kExitBadArguments, "", "--since 需要 YYYY-MM-DD"},
      {{"--csv"}, kExitBadArguments, "", "--csv 只能与 --history 一起使用"},
      {{"--history", "--dir", garbage.path()}, kExitCommandFailed, "", "发布历史无法读取"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> arguments = c.arguments;
    if (std::find(arguments.begin(), arguments.end(), "--dir") == arguments.end())
      arguments.insert(arguments.end(), {"--dir", dir.path()});
    test::TempDir outputDir;
    CommandRun run(outputDir, arguments);
    EXPECT_EQ(run.wait(30s), c.exitCode) << c.arguments.back();
    EXPECT_EQ(run.output(), c.output) << c.arguments.back();
    EXPECT_NE(run.errors().find(c.error), std::string::npos) << c.arguments.back() << ": " << run.errors();
  }
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
