#include "upload/job_runner.h"

#include <dirent.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <condition_variable>
#include <ctime>
#include <filesystem>

#include "common/clock.h"
#include "common/gbk.h"
#include "common/program_dir.h"
#include "common/text_rules.h"
#include "support/fake_browser_engine.h"
#include "support/temp_dir.h"
#include "common/gbk.h"
#include "history/history_reader.h"
#include "history/history_store.h"
#include "log/date_time.h"
#include "upload/attempt_history.h"
#include "automation/engine_startup.h"
#include "log/error_log.h"
#include "log/run_log.h"
#include "upload/failure_evidence.h"
#include "upload/file_ops.h"
#include "upload/job.h"
#include "upload/upload_page.h"

namespace vidralo {
namespace {

using test::FakeBrowserEngine;
using test::FakeEvent;
using test::FakePageScript;
using test::FakePublication;
using test::readFile;

constexpr const char* kUploadPage = "https://creator.test/cgibin/recwxamanager/userclientjump?tag=uploadindex#/home";

std::chrono::system_clock::time_point localTimeToday(int hour, int minute) {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  local.tm_hour = hour;
  local.tm_min = minute;
  local.tm_sec = 0;
  local.tm_isdst = -1;
  return std::chrono::system_clock::from_time_t(std::mktime(&local));
}

int localHour(std::chrono::system_clock::time_point when) {
  std::time_t t = std::chrono::system_clock::to_time_t(when);
  std::tm local{};
  localtime_r(&t, &local);
  return local.tm_hour;
}

int threadCount() {
  int count = 0;
  if (DIR* dir = opendir("/proc/self/task")) {
    while (dirent* entry = readdir(dir))
      if (entry->d_name[0] != '.') ++count;
    closedir(dir);
  }
  return count;
}

// Every caption and cell text the job writes, in order, so tests can look at
// texts that were overwritten long ago.
class ChangeLog {
 public:
  explicit ChangeLog(ControlModel& controls) : controls_(controls) {
    handle_ = controls_.subscribe([this](const ControlChange& change) {
      std::string text;
      if (change.property == ControlProperty::Caption)
        text = controls_.caption(change.id);
      else if (change.property == ControlProperty::Cell)
        text = controls_.cell(change.row, change.column);
      else
        return;
      std::lock_guard lock(mutex_);
      entries_.push_back({change, std::move(text)});
      changed_.notify_all();
    });
  }
  ~ChangeLog() { controls_.unsubscribe(handle_); }

  std::vector<std::string> captions(ControlId id) const {
    std::vector<std::string> texts;
    std::lock_guard lock(mutex_);
    for (const auto& [change, text] : entries_)
      if (change.property == ControlProperty::Caption && change.id == id) texts.push_back(text);
    return texts;
  }
  std::vector<std::string> cells(int row, int column) const {
    std::vector<std::string> texts;
    std::lock_guard lock(mutex_);
    for (const auto& [change, text] : entries_)
      if (change.property == ControlProperty::Cell && change.row == row && change.column == column)
        texts.push_back(text);
    return texts;
  }
  void waitForCaptionCount(ControlId id, const std::string& text, int count) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] {
      int seen = 0;
      for (const auto& [change, caption] : entries_)
        if (change.property == ControlProperty::Caption && change.id == id && caption == text) ++seen;
      return seen >= count;
    });
  }

 private:
  ControlModel& controls_;
  int handle_ = 0;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::pair<ControlChange, std::string>> entries_;
};

class JobRunnerTest : public ::testing::Test {
 protected:
  // 5000 times faster: a 300-second limit passes in 60 ms.
  explicit JobRunnerTest(std::chrono::system_clock::time_point wallStart = localTimeToday(9, 0), double speed = 5000) {
    setProgramDirectory(dir.file("program"));
    previousClock = setClock(std::make_shared<ScaledClock>(speed, wallStart));
    // Fast and quiet defaults; single tests change what they are about.
    controls.setText(ControlId::编辑框_视频间隔, "0");
    controls.setText(ControlId::编辑框_视频间隔1, "0");
    controls.setChecked(ControlId::选择框_自动循环, false);
    // No limit unless a test is about it: a slow machine must not abandon videos.
    controls.setChecked(ControlId::选择框_自动放弃, false);
    controls.setChecked(ControlId::选择框_切换账号, false);
    controls.setChecked(ControlId::单选框_选择视频_顺序, true);
    controls.setChecked(ControlId::描述_标题库, true);
    controls.setText(ControlId::编辑框_标题库, "T1\r\nT2\r\nT3");
    runner = std::make_unique<JobRunner>(controls, engine, SessionSettings{[] { return std::string(kUploadPage); }, 1920, 1080, {}});
  }
  ~JobRunnerTest() override {
    runner.reset();
    setClock(previousClock);
    setProgramDirectory("");
  }

  // An account whose folder holds `videos` files named v1.mp4, v2.mp4, ...
  void addAccount(const std::string& id, int videos) {
    for (int i = 1; i <= videos; ++i) dir.write("acct" + id + "/v" + std::to_string(i) + ".mp4", "video of " + id);
    controls.appendRow({numberToText(controls.rowCount() + 1), "", dir.file("acct" + id), id});
  }

  void runToEnd() {
    runner->toggleJob();
    runner->waitUntilIdle();
  }

  // Stops the job from the engine's side once `count` videos were published.
  void stopAfterPublications(std::size_t count) {
    engine.setEventHook([this, count, stopped = false](const FakeEvent& event) mutable {
      if (stopped || event.kind != FakeEvent::Kind::Click || event.text != page_selectors::kPublishButton) return;
      if (engine.publications().size() < count) return;
      stopped = true;
      runner->toggleJob();
    });
  }

  std::vector<std::string> publishedAccounts() const {
    std::vector<std::string> ids;
    const std::string prefix = programPath("\\huancun\\vesko");
    for (const FakePublication& publication : engine.publications())
      ids.push_back(publication.profileDirectory.substr(prefix.size()));
    return ids;
  }

  test::TempDir dir;
  std::shared_ptr<const Clock> previousClock;
  ControlModel controls;
  FakeBrowserEngine engine;
  std::unique_ptr<JobRunner> runner;
};

// --- where a round starts and how many videos an account gets ---

TEST_F(JobRunnerTest, TheFirstRoundStartsAtTheGivenAccountAndTheNextAtTheFirst) {
  for (const char* id : {"1", "2", "3", "4", "5"}) addAccount(id, 2);
  controls.setText(ControlId::编辑框_账号序列, "3");
  controls.setChecked(ControlId::选择框_自动循环, true);
  controls.setText(ControlId::编辑框_循环间隔, "0");
  stopAfterPublications(6);
  runToEnd();
  EXPECT_EQ(publishedAccounts(), (std::vector<std::string>{"3", "4", "5", "1", "2", "3"}));
  EXPECT_EQ(controls.caption(ControlId::开始), "开始");
}

TEST_F(JobRunnerTest, APositionBeyondTheListStartsAgainAtTheFirst) {
  for (const char* id : {"1", "2", "3", "4", "5"}) addAccount(id, 1);
  controls.setText(ControlId::编辑框_账号序列, "9");
  runToEnd();
  EXPECT_EQ(publishedAccounts(), (std::vector<std::string>{"1", "2", "3", "4", "5"}));
  EXPECT_EQ(controls.text(ControlId::编辑框_账号序列), "6");
  EXPECT_EQ(controls.caption(ControlId::分组框6), "账号列表（右键点击操作）当前有账号：5个");
  EXPECT_EQ(controls.caption(ControlId::开始), "开始") << "a job that ended by itself frees the button";
  EXPECT_FALSE(runner->isRunning());
}

TEST_F(JobRunnerTest, WithoutSwitchingEachAccountPublishesOneVideoPerTurn) {
  addAccount("1", 3);
  addAccount("2", 3);
  controls.setText(ControlId::编辑框_单账号上传, "3");
  runToEnd();
  EXPECT_EQ(publishedAccounts(), (std::vector<std::string>{"1", "2"}));
  EXPECT_EQ(controls.caption(ControlId::分组框_控制), "当前设置，每个账号发布1个视频后切换");
  EXPECT_EQ(controls.cell(0, 列_今天已发), "") << "the previous account's count is cleared";
  EXPECT_EQ(controls.cell(1, 列_今天已发), "1");
}

TEST_F(JobRunnerTest, ACountAlreadyInTheListShortensTheTurn) {
  addAccount("1", 3);
  controls.setCell(0, 列_今天已发, "2");
  controls.setChecked(ControlId::选择框_切换账号, true);
  controls.setText(ControlId::编辑框_单账号上传, "3");
  runToEnd();
  EXPECT_EQ(engine.publications().size(), 1u);
  EXPECT_EQ(controls.cell(0, 列_今天已发), "3");
  EXPECT_EQ(engine.events(FakeEvent::Kind::Close).size(), 1u) << "the session is closed at the end of the turn";
}

TEST_F(JobRunnerTest, SettingsThatAreNotNumbersReadAsZero) {
  addAccount("1", 2);
  controls.setChecked(ControlId::选择框_切换账号, true);
  controls.setText(ControlId::编辑框_单账号上传, "abc");
  runToEnd();
  EXPECT_EQ(controls.caption(ControlId::分组框_控制), "当前设置，每个账号发布0个视频后切换");
  EXPECT_TRUE(engine.events(FakeEvent::Kind::Start).empty());

  ChangeLog log(controls);
  controls.setText(ControlId::编辑框_单账号上传, "1个");
  controls.setText(ControlId::编辑框_视频间隔, "x");
  controls.setText(ControlId::编辑框_视频间隔1, "");
  runToEnd();
  EXPECT_EQ(engine.publications().size(), 1u);
  const std::vector<std::string> status = log.cells(0, 列_状态);
  EXPECT_NE(std::find(status.begin(), status.end(), "延时0秒后继续"), status.end());
  EXPECT_EQ(status.back(), "");
}

TEST_F(JobRunnerTest, AFolderCellEndingInASeparatorFallsBackToTheDefaultFolder) {
  dir.write("own/own.mp4", "own");
  const std::string fallback = dir.write("default/fallback.mp4", "fallback");
  controls.appendRow({"1", "", dir.file("own/"), "1"});
  controls.setText(ControlId::编辑框_视频素材目录, dir.file("default"));
  runToEnd();
  ASSERT_EQ(engine.publications().size(), 1u);
  EXPECT_EQ(engine.publications()[0].videoPath, fallback);
  EXPECT_TRUE(fileExists(dir.file("own/own.mp4")));
  EXPECT_FALSE(fileExists(fallback)) << "deleted after publication";
}

// --- pauses, limits and forbidden hours ---

TEST_F(JobRunnerTest, ThePauseIsDrawnBetweenBoundsInEitherOrderAndCountedDown) {
  addAccount("1", 1);
  controls.setText(ControlId::编辑框_视频间隔, "120");
  controls.setText(ControlId::编辑框_视频间隔1, "80");
  ChangeLog log(controls);
  runToEnd();
  std::vector<std::string> status = log.cells(0, 列_状态);
  const auto first = std::find_if(status.begin(), status.end(), [](const std::string& s) { return startsWith(s, "延时"); });
  ASSERT_NE(first, status.end());
  const int pause = toInteger(first->substr(std::string("延时").size()));
  EXPECT_GE(pause, 80);
  EXPECT_LE(pause, 120);
  std::vector<std::string> expected;
  for (int left = pause - 1; left >= 0; --left) expected.push_back("延时" + numberToText(left) + "秒后继续");
  std::vector<std::string> titles;
  for (const std::string& title : engine.windowTitles())
    if (startsWith(title, "延时")) titles.push_back(title);
  EXPECT_EQ(titles, expected);
  EXPECT_EQ(status.back(), "");
  EXPECT_EQ(controls.cell(0, 列_今天已发), "1");
}

TEST_F(JobRunnerTest, AVideoOverTheLimitIsAbandonedAndTheBrowserClosed) {
  addAccount("1", 1);
  FakePageScript stuck;
  stuck.statusSequence = {"上传中"};
  engine.setPageScript(stuck);
  controls.setChecked(ControlId::选择框_自动放弃, true);
  controls.setText(ControlId::放弃秒, "300");
  ChangeLog log(controls);
  runner->toggleJob();
  controls.setText(ControlId::放弃秒, "100000");  // read only when the job starts
  runner->waitUntilIdle();

  const std::vector<std::string> status = log.cells(0, 列_状态);
  ASSERT_GE(status.size(), 3u);
  EXPECT_EQ(status[0], "耗时：1/300");
  EXPECT_EQ(status[1], "耗时：2/300");
  EXPECT_EQ(status.back(), "上传失败");
  const std::string lastCount = status[status.size() - 2];
  EXPECT_GT(toInteger(lastCount.substr(std::string("耗时：").size())), 300);
  EXPECT_TRUE(engine.publications().empty());
  EXPECT_EQ(engine.runningBrowserCount(), 0);
  EXPECT_TRUE(fileExists(dir.file("acct1/v1.mp4"))) << "a failed video stays to be picked again";
  EXPECT_EQ(controls.cell(0, 列_今天已发), "");
}

class SlowerJobRunnerTest : public JobRunnerTest {
 protected:
  // Slow enough that a video well within its limit surely finishes in time.
  SlowerJobRunnerTest() : JobRunnerTest(localTimeToday(9, 0), 1000) {}
};

TEST_F(SlowerJobRunnerTest, AVideoRemovedBeforeUploadIsAFailedAttempt) {
  addAccount("1", 2);
  controls.setChecked(ControlId::选择框_切换账号, true);
  controls.setText(ControlId::编辑框_单账号上传, "2");
  controls.setChecked(ControlId::选择框_自动放弃, true);
  controls.setText(ControlId::放弃秒, "60");
  engine.setEventHook([&, removed = false](const FakeEvent& event) mutable {
    if (removed || event.kind != FakeEvent::Kind::Title || event.text != "开始上传") return;
    removed = true;
    std::remove(dir.file("acct1/v1.mp4").c_str());
  });
  ChangeLog log(controls);
  runToEnd();
  const std::vector<std::string> status = log.cells(0, 列_状态);
  EXPECT_NE(std::find(status.begin(), status.end(), "上传失败"), status.end());
  ASSERT_EQ(engine.publications().size(), 1u) << "the second repetition publishes the other video";
  EXPECT_EQ(engine.publications()[0].videoPath, dir.file("acct1/v2.mp4"));
  EXPECT_EQ(controls.cell(0, 列_今天已发), "1");
}

TEST_F(JobRunnerTest, AJournalThatCannotBeWrittenStopsPublishingBeforeTheConfirmClick) {
  const std::string journal = dir.file("program/data/published.jsonl");
  std::filesystem::create_directories(journal);
  addAccount("1", 2);
  addAccount("2", 1);
  runToEnd();
  EXPECT_TRUE(engine.publications().empty());
  EXPECT_TRUE(runner->journalUnwritable());
  EXPECT_EQ(controls.cell(0, 列_状态), "发布记录无法写入");
  EXPECT_EQ(controls.cell(1, 列_状态), "") << "the job ended with the first account";
  EXPECT_EQ(controls.statusText(1), "发布记录无法写入：" + journal);
  EXPECT_NE(readFile(dir.file("program/logs/error.log")).find(utf8ToGbk("发布记录无法写入：" + journal)),
            std::string::npos);
}

TEST_F(JobRunnerTest, FilesLinkedOutOfTheProgramDirectoryAreNeitherWrittenNorEmptied) {
  const std::string outside = dir.file("outside");
  const std::vector<std::pair<std::string, std::string>> links{
      {"data/published.jsonl", "journal.txt"},
      {"logs/error.log", "error.txt"},
      {"logs/engine.log", "engine.txt"},
      {"data/" + runLogPath(localNow()).substr(programPath("\\data\\").size()), "runlog.txt"},
      {"logs/failures", "folder"}};
  const std::string someonesFile = dir.write("outside/folder/20261209-101500-123_1.txt", "keep");
  for (const auto& [link, target] : links) {
    if (target != "folder") dir.write("outside/" + target, "keep");
    std::filesystem::create_directories(std::filesystem::path(dir.file("program/" + link)).parent_path());
    std::filesystem::create_symlink(outside + "/" + target, dir.file("program/" + link));
  }
  addAccount("1", 1);
  runToEnd();
  writeRunLog("x");
  appendEngineLog("x");
  EXPECT_EQ(writeFailureEvidence(programPath("\\logs\\failures"), {"1", "v", "publish"}, "png", 0), "");

  EXPECT_TRUE(engine.publications().empty()) << "a linked journal is no journal";
  EXPECT_EQ(controls.cell(0, 列_状态), "发布记录无法写入");
  for (const auto& [link, target] : links) {
    if (target != "folder") {
      EXPECT_EQ(readFile(outside + "/" + target), "keep") << link;
    }
  }
  EXPECT_EQ(readFile(someonesFile), "keep");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(outside + "/folder"), {}), 1);
}

TEST_F(JobRunnerTest, FilesHoldingAccountDataAreReadableByTheirOwnerOnly) {
  addAccount("1", 1);
  runToEnd();
  ASSERT_EQ(engine.publications().size(), 1u);
  writeRunLog("x");
  appendErrorLog("x");
  appendEngineLog("x");
  const std::string evidence = writeFailureEvidence(programPath("\\logs\\failures"), {"1", "v", "publish"}, "png");
  for (const std::string& path :
       {programPath("\\data\\published.jsonl"), runLogPath(localNow()), programPath("\\logs\\error.log"),
        programPath("\\logs\\engine.log"), evidence, programPath("\\logs\\failures")}) {
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0) << path;
    EXPECT_EQ(info.st_mode & 077, 0u) << path;
  }
}

TEST_F(JobRunnerTest, AnAccountWhoseUsedVideoFolderLiesAmongItsVideosIsPassedOver) {
  addAccount("1", 1);
  addAccount("2", 1);
  controls.setChecked(ControlId::选择框_读取子文件夹, true);
  controls.setChecked(ControlId::单选框_移动, true);
  controls.setText(ControlId::编辑框_使用过视频目录, dir.file("acct1/used"));
  runToEnd();
  EXPECT_EQ(publishedAccounts(), std::vector<std::string>{"2"});
  EXPECT_EQ(controls.cell(0, 列_状态), "已使用视频目录在素材目录内，已跳过");
}

TEST_F(JobRunnerTest, AnAccountWithoutVideosUsesUpItsRepetitions) {
  controls.appendRow({"1", "", dir.file("empty"), "1"});
  addAccount("2", 1);
  controls.setChecked(ControlId::选择框_切换账号, true);
  controls.setText(ControlId::编辑框_单账号上传, "3");
  runToEnd();
  EXPECT_EQ(controls.cell(0, 列_状态), "没有视频");
  EXPECT_EQ(publishedAccounts(), (std::vector<std::string>{"2"}));
}

class ForbiddenAt1340 : public JobRunnerTest {
 protected:
  ForbiddenAt1340() : JobRunnerTest(localTimeToday(13, 40), 2000) {}
};

TEST_F(ForbiddenAt1340, TheJobWaitsUntilTheFirstAllowedHour) {
  addAccount("1", 2);
  controls.setChecked(ControlId::选择框_切换账号, true);
  controls.setText(ControlId::编辑框_单账号上传, "2");
  controls.setChecked(ControlId::选择框_禁止指定时间, true);
  controls.setText(ControlId::编辑框_禁止指定时间, "1点2点13点14点");
  controls.setChecked(ControlId::选择框_自动放弃, true);
  controls.setText(ControlId::放弃秒, "300");
  ChangeLog log(controls);
  runToEnd();
  const std::vector<std::string> titles = engine.windowTitles();
  const auto waits = std::count(titles.begin(), titles.end(), "现在是禁用时间段");
  // One per minute from 13:40 to 15:00 (fewer when a busy machine lets the
  // checks drift later).
  EXPECT_GE(waits, 40);
  EXPECT_LE(waits, 81);
  for (const FakeEvent& upload : engine.events(FakeEvent::Kind::Upload)) EXPECT_EQ(localHour(upload.wallTime), 15);
  // The first attempt waited longer than its limit and was abandoned after
  // the gate; the next one, with a fresh count, published the same video.
  const std::vector<std::string> status = log.cells(0, 列_状态);
  EXPECT_NE(std::find(status.begin(), status.end(), "上传失败"), status.end());
  EXPECT_EQ(engine.events(FakeEvent::Kind::Upload).size(), 2u);
  ASSERT_EQ(engine.publications().size(), 1u);
  EXPECT_EQ(engine.publications()[0].videoPath, dir.file("acct1/v1.mp4"));
  EXPECT_TRUE(fileExists(dir.file("acct1/v2.mp4")));
}

class ForbiddenAt1259 : public JobRunnerTest {
 protected:
  // Slower, so that the first check surely comes before 13:00 on a busy machine.
  ForbiddenAt1259() : JobRunnerTest(localTimeToday(12, 59), 100) {}
};

TEST_F(ForbiddenAt1259, TheJobDoesNotWaitBeforeTheForbiddenHour) {
  addAccount("1", 1);
  controls.setChecked(ControlId::选择框_禁止指定时间, true);
  runToEnd();
  const std::vector<std::string> titles = engine.windowTitles();
  EXPECT_EQ(std::count(titles.begin(), titles.end(), "现在是禁用时间段"), 0);
  EXPECT_EQ(engine.publications().size(), 1u);
}

TEST(ForbiddenHours, HoursMatchOnlyBetweenMarks) {
  EXPECT_TRUE(isForbiddenHour("1点2点13点14点", 1));
  EXPECT_TRUE(isForbiddenHour("1点2点13点14点", 13));
  EXPECT_FALSE(isForbiddenHour("1点2点13点14点", 3));
  EXPECT_FALSE(isForbiddenHour("13点", 1));
  EXPECT_FALSE(isForbiddenHour("", 0));
}

// --- rounds and loops ---

TEST_F(JobRunnerTest, EmptyRoundsEndAtOnceOrWaitBetweenLoops) {
  runToEnd();
  EXPECT_EQ(controls.caption(ControlId::分组框6), "账号列表（右键点击操作）当前有账号：0个");

  controls.setChecked(ControlId::选择框_自动循环, true);
  controls.setText(ControlId::编辑框_循环间隔, "3");
  ChangeLog log(controls);
  runner->toggleJob();
  log.waitForCaptionCount(ControlId::分组框6, "账号列表（右键点击操作）当前有账号：0个", 2);
  runner->toggleJob();
  runner->waitUntilIdle();
  const std::vector<std::string> captions = log.captions(ControlId::分组框6);
  ASSERT_GE(captions.size(), 5u);
  EXPECT_EQ(std::vector<std::string>(captions.begin(), captions.begin() + 5),
            (std::vector<std::string>{"账号列表（右键点击操作）当前有账号：0个", "本轮结束，等待2秒继续下一轮",
                                      "本轮结束，等待1秒继续下一轮", "本轮结束，等待0秒继续下一轮",
                                      "账号列表（右键点击操作）当前有账号：0个"}));
}

// --- Stop ---

TEST_F(JobRunnerTest, StopDuringAnUploadPublishesAndDisposesOfNothing) {
  addAccount("1", 1);
  engine.setUploadBlocksUntilStop(true);
  runner->toggleJob();
  engine.waitForBlockedUpload();
  runner->toggleJob();
  EXPECT_EQ(controls.caption(ControlId::开始), "开始");
  runner->waitUntilIdle();
  const std::size_t eventsAfterStop = engine.events().size();
  EXPECT_EQ(engine.events().back().kind, FakeEvent::Kind::Upload) << "no step after the abandoned call";
  EXPECT_EQ(eventsAfterStop, engine.events().size());
  EXPECT_TRUE(engine.publications().empty());
  EXPECT_TRUE(fileExists(dir.file("acct1/v1.mp4")));
  EXPECT_EQ(controls.cell(0, 列_状态), "已停止") << "the row no longer counts the time of a running upload";
  EXPECT_EQ(engine.runningBrowserCount(), 1) << "the browser stays open";
  EXPECT_EQ(controls.text(ControlId::编辑框_账号序列), "1") << "the position of the interrupted account stays";
}

TEST_F(JobRunnerTest, ARestartedJobResumesTheInterruptedAccount) {
  addAccount("1", 1);
  addAccount("2", 3);
  controls.setChecked(ControlId::选择框_切换账号, true);
  controls.setText(ControlId::编辑框_单账号上传, "2");
  stopAfterPublications(2);
  runToEnd();
  ASSERT_EQ(publishedAccounts(), (std::vector<std::string>{"1", "2"}));
  EXPECT_EQ(controls.text(ControlId::编辑框_账号序列), "2");
  engine.setEventHook(nullptr);
  runToEnd();
  EXPECT_EQ(publishedAccounts(), (std::vector<std::string>{"1", "2", "2", "2"}))
      << "the interrupted turn starts again from a count of 0";
  EXPECT_EQ(controls.cell(1, 列_今天已发), "2");
}

TEST_F(JobRunnerTest, AHundredVideosInARowLeaveNoThreadBehind) {
  const int before = threadCount();
  addAccount("1", 100);
  controls.setChecked(ControlId::选择框_切换账号, true);
  controls.setText(ControlId::编辑框_单账号上传, "100");
  controls.setText(ControlId::编辑框_标题库, "");
  runToEnd();
  EXPECT_EQ(engine.publications().size(), 100u);
  EXPECT_EQ(controls.cell(0, 列_今天已发), "100");
  EXPECT_EQ(engine.events(FakeEvent::Kind::Start).size(), 1u) << "one browser serves the whole turn";
  for (int i = 1; i <= 100; ++i) EXPECT_FALSE(fileExists(dir.file("acct1/v" + std::to_string(i) + ".mp4")));
  runner.reset();
  EXPECT_EQ(threadCount(), before);
}

// --- publication confirmed by a sign, evidence of failures, the run summary ---

struct SignCase {
  const char* sign;
  bool refused;
  bool moveMode;
  bool published;  // the job counts the video and disposes of it
};

class PublishedSignTest : public JobRunnerTest, public ::testing::WithParamInterface<SignCase> {};

TEST_P(PublishedSignTest, OnlyAConfirmedPublicationDisposesOfTheVideo) {
  const SignCase c = GetParam();
  dir.write("program/config.ini", std::string("[page]\npublished_sign = ") + c.sign + "\npublished_wait = 5\n");
  FakePageScript page;
  page.refusesPublication = c.refused;
  engine.setPageScript(page);
  controls.setChecked(ControlId::单选框_删除, !c.moveMode);
  controls.setChecked(ControlId::单选框_移动, c.moveMode);
  controls.setText(ControlId::编辑框_使用过视频目录, dir.file("used"));
  std::filesystem::create_directories(dir.file("used"));
  addAccount("1", 1);
  runToEnd();

  EXPECT_EQ(fileExists(dir.file("acct1/v1.mp4")), !c.published);
  EXPECT_EQ(fileExists(dir.file("used/v1.mp4")), c.published && c.moveMode);
  EXPECT_EQ(controls.cell(0, 列_今天已发), c.published ? "1" : "");
  EXPECT_EQ(controls.cell(0, 列_状态), c.published ? "" : "上传失败");
}

INSTANTIATE_TEST_SUITE_P(Cases, PublishedSignTest,
                         ::testing::Values(SignCase{"", true, false, true},  // without a sign: the click counts
                                           SignCase{".publish-success", true, false, false},
                                           SignCase{".publish-success", true, true, false},
                                           SignCase{".publish-success", false, true, true},
                                           SignCase{".publish-success", false, false, true}));

struct EvidenceCase {
  const char* name;
  const char* step;
  bool picture;
};

class FailureEvidenceTest : public JobRunnerTest, public ::testing::WithParamInterface<EvidenceCase> {};

TEST_P(FailureEvidenceTest, EveryFailureLeavesItsEvidence) {
  const EvidenceCase c = GetParam();
  const std::string scenario = c.name;
  FakePageScript page;
  if (scenario == "refused") {
    dir.write("program/config.ini", "[page]\npublished_sign = .publish-success\n");
    page.refusesPublication = true;
  } else {
    page.statusSequence = {"上传中"};
    controls.setChecked(ControlId::选择框_自动放弃, true);
    controls.setText(ControlId::放弃秒, "30");
  }
  engine.setPageScript(page);
  if (scenario == "killed")
    engine.setEventHook([this](const FakeEvent& event) {
      if (event.kind == FakeEvent::Kind::Upload) engine.killSession(event.session);
    });
  addAccount("7", 1);
  runToEnd();

  const std::string evidence = runner->lastFailureEvidence();
  ASSERT_FALSE(evidence.empty());
  EXPECT_EQ(std::filesystem::path(evidence).parent_path(), std::filesystem::path(programPath("\\logs\\failures")));
  const std::string text = test::readFile(evidence);
  EXPECT_NE(text.find("账号：7\n"), std::string::npos) << text;
  EXPECT_NE(text.find("视频：" + dir.file("acct7/v1.mp4")), std::string::npos) << text;
  EXPECT_NE(text.find(std::string("失败的步骤：") + c.step), std::string::npos) << text;
  const std::string picture = std::filesystem::path(evidence).replace_extension(".png").string();
  EXPECT_EQ(fileExists(picture), c.picture);
  if (c.picture) {
    EXPECT_EQ(test::readFile(picture).substr(0, 4), "\x89PNG");
  }
  EXPECT_EQ(controls.cell(0, 列_状态), "上传失败");
}

INSTANTIATE_TEST_SUITE_P(Cases, FailureEvidenceTest,
                         ::testing::Values(EvidenceCase{"neverCompletes", "waitUploadComplete（超过放弃秒）", true},
                                           EvidenceCase{"refused", "publish（步骤失败）", true},
                                           EvidenceCase{"killed", "startUpload（步骤失败）", false}),
                         [](const auto& paramInfo) { return std::string(paramInfo.param.name); });

TEST(FailureEvidenceFolder, TheNewestPairsAreKept) {
  test::TempDir dir;
  std::vector<std::string> written;
  for (int i = 0; i <= static_cast<int>(kFailureEvidenceKept); ++i)
    written.push_back(writeFailureEvidence(dir.path(), {"acct", "v.mp4", "publish"}, i % 2 ? "png" : ""));
  std::size_t texts = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path())) texts += entry.path().extension() == ".txt";
  EXPECT_EQ(texts, kFailureEvidenceKept);
  EXPECT_FALSE(fileExists(written.front())) << "the 201st failure removes the oldest pair";
  EXPECT_TRUE(fileExists(written[1]));
  EXPECT_TRUE(fileExists(std::filesystem::path(written[1]).replace_extension(".png").string()));
  EXPECT_TRUE(fileExists(written.back()));
}

TEST_F(JobRunnerTest, TheSummaryCountsEachAccountsVideos) {
  controls.setChecked(ControlId::选择框_切换账号, true);
  controls.setText(ControlId::编辑框_单账号上传, "2");
  addAccount("1", 2);
  addAccount("2", 0);
  runToEnd();
  const std::vector<std::string> lines = runner->summary().lines();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_TRUE(lines[0].starts_with("运行小结：用时 ")) << lines[0];
  EXPECT_EQ(lines[1], "账号 1（昵称）：发布 2，失败 0，跳过 0") << "with the nickname the session read";
  EXPECT_EQ(lines[2], "账号 2：发布 0，失败 0，跳过 2");
}

// --- the history of attempts ---

std::vector<HistoryRow> historyRows() {
  std::vector<HistoryRow> rows;
  std::string error;
  readHistory(historyDatabasePath(), {}, [&rows](const HistoryRow& row) { rows.push_back(row); }, error);
  return rows;
}

TEST_F(JobRunnerTest, EachAttemptLeavesItsRowInTheHistory) {
  addAccount("1", 1);
  controls.appendRow({"2", "", dir.file("empty"), "2"});
  addAccount("3", 1);
  engine.setEventHook([this](const FakeEvent& event) {
    if (event.kind == FakeEvent::Kind::Upload && event.text.find("acct3") != std::string::npos)
      engine.killSession(event.session);
  });
  runToEnd();

  const std::vector<HistoryRow> rows = historyRows();
  ASSERT_EQ(rows.size(), 3u);
  struct Expected {
    const char* account;
    AttemptOutcome outcome;
    std::string video;
    std::int64_t size;
    const char* title;
    const char* step;
    const char* reason;
  };
  const std::vector<Expected> expected{
      {"1", AttemptOutcome::Published, dir.file("acct1/v1.mp4"), 10, "T1", "", ""},
      {"2", AttemptOutcome::Skipped, "", 0, "", "", "没有视频"},
      {"3", AttemptOutcome::Failed, dir.file("acct3/v1.mp4"), 10, "", "startUpload", "步骤失败"},
  };
  for (std::size_t i = 0; i < rows.size(); ++i) {
    SCOPED_TRACE(expected[i].account);
    EXPECT_EQ(rows[i].accountId, expected[i].account);
    EXPECT_EQ(rows[i].outcome, expected[i].outcome);
    EXPECT_EQ(rows[i].videoPath, expected[i].video);
    EXPECT_EQ(rows[i].videoSize, expected[i].size);
    EXPECT_EQ(rows[i].title, expected[i].title);
    EXPECT_EQ(rows[i].step, expected[i].step);
    EXPECT_EQ(rows[i].reason, expected[i].reason);
    EXPECT_TRUE(rows[i].time.starts_with(formatDateTime(appClock().wallNow(), "yyyy-MM-dd "))) << rows[i].time;
  }
  EXPECT_EQ(rows[0].nickname, "昵称") << "the nickname the session read";
  EXPECT_EQ(rows[2].evidencePath, runner->lastFailureEvidence());
}

TEST_F(JobRunnerTest, AHistoryThatCannotBeWrittenHoldsUpNoPublication) {
  // A folder where the database belongs: it can be neither opened nor moved aside as damaged.
  std::filesystem::create_directories(historyDatabasePath());
  controls.setChecked(ControlId::选择框_切换账号, true);
  controls.setText(ControlId::编辑框_单账号上传, "2");
  addAccount("1", 2);
  runToEnd();

  EXPECT_EQ(engine.publications().size(), 2u);
  EXPECT_FALSE(fileExists(dir.file("acct1/v1.mp4")));
  EXPECT_FALSE(fileExists(dir.file("acct1/v2.mp4")));
  const std::string journal = test::readFile(programPath("\\data\\published.jsonl"));
  // The first entry went when its video was gone; the journal drops it at the next pick.
  EXPECT_NE(journal.find(dir.file("acct1/v2.mp4")), std::string::npos) << journal;
  EXPECT_EQ(controls.cell(0, 列_今天已发), "2");
  const std::string message = "历史记录无法写入：" + historyDatabasePath();
  EXPECT_TRUE(controls.statusText(1).starts_with(message)) << controls.statusText(1);
  const std::string errorLog = test::readFile(programPath("\\logs\\error.log"));
  const std::string inGbk = utf8ToGbk(message);
  const std::size_t first = errorLog.find(inGbk);
  ASSERT_NE(first, std::string::npos);
  EXPECT_EQ(errorLog.find(inGbk, first + 1), std::string::npos) << "reported once";
}

TEST_F(JobRunnerTest, TodaysCountIsRestoredFromTheHistoryAfterARestart) {
  addAccount("1", 2);
  addAccount("2", 0);
  runToEnd();
  ControlModel restarted;
  restarted.appendRow({"1", "", dir.file("acct1"), "1"});
  restarted.appendRow({"2", "", dir.file("acct2"), "2"});
  restorePublishedToday(restarted);
  EXPECT_EQ(restarted.cell(0, 列_今天已发), "1");
  EXPECT_EQ(restarted.cell(1, 列_今天已发), "");
}

struct PageCase {
  const char* name;
  const char* loginSign;
  const char* status;
  const char* summary;
};

class LoggedOutPageTest : public JobRunnerTest, public ::testing::WithParamInterface<PageCase> {};

// The first account's page shows no marker: with a log-in sign configured
// and shown it is not logged in, without one it is not ready. Either way the
// account is passed over at once, its videos kept, and the next publishes.
TEST_P(LoggedOutPageTest, TheAccountIsPassedOverWithItsVideosKeptAndTheNextPublishes) {
  dir.write("program/config.ini", std::string("[page]\nlogin_sign = ") + GetParam().loginSign + "\nready_wait = 30\n");
  controls.setChecked(ControlId::选择框_切换账号, true);
  controls.setText(ControlId::编辑框_单账号上传, "2");
  addAccount("1", 2);
  addAccount("2", 1);
  engine.setPageScript({.pageText = "请先登录创作者平台", .nickname = ""});
  engine.setEventHook([this](const FakeEvent& event) {
    if (event.kind == FakeEvent::Kind::Start) engine.setPageScript({});
  });
  runToEnd();
  EXPECT_EQ(publishedAccounts(), std::vector<std::string>{"2"});
  EXPECT_EQ(controls.cell(0, 列_状态), GetParam().status);
  EXPECT_TRUE(fileExists(dir.file("acct1/v1.mp4")) && fileExists(dir.file("acct1/v2.mp4")));
  EXPECT_EQ(engine.events(FakeEvent::Kind::Upload).size(), 1u) << "nothing was handed to the logged-out page";
  const std::vector<std::string> lines = runner->summary().lines();
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lines[1], GetParam().summary);
  EXPECT_NE(test::readFile(runner->lastFailureEvidence()).find("ensureSession"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Pages, LoggedOutPageTest,
    ::testing::Values(PageCase{"signShown", "请先登录", "未登录，已跳过", "账号 1：发布 0，失败 0，跳过 0，未登录 1"},
                      PageCase{"noMarker", "", "页面未就绪，已跳过", "账号 1：发布 0，失败 0，跳过 0，页面未就绪 1"}),
    [](const auto& page) { return std::string(page.param.name); });

TEST(RunSummaryLogIns, ListsOnlyTheAccountsLoggedOutAtTheirLatestLook) {
  RunSummary summary;
  summary.begin();
  summary.count("1", "", VideoOutcome::NotLoggedIn);
  summary.count("1", "甲", VideoOutcome::Published);  // logged in by the next round
  summary.count("2", "", VideoOutcome::NotLoggedIn);
  summary.count("2", "", VideoOutcome::Skipped);  // no video says nothing about the log-in
  summary.count("3", "", VideoOutcome::PageNotReady);
  const std::vector<std::string> lines = summary.lines();
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[1], "账号 1（甲）：发布 1，失败 0，跳过 0，未登录 1");
  EXPECT_EQ(lines[3], "账号 3：发布 0，失败 0，跳过 0，页面未就绪 1");
  EXPECT_EQ(lines[4], "未登录的账号：2");
}

TEST(DurationText, ShowsHoursMinutesAndSeconds) {
  EXPECT_EQ(durationText(7'400), "7秒");
  EXPECT_EQ(durationText(185'000), "3分05秒");
  EXPECT_EQ(durationText(3'723'000), "1时02分03秒");
}

}  // namespace
}  // namespace vidralo
