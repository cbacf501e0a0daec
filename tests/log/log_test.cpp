#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <filesystem>
#include <memory>

#include "common/clock.h"
#include "common/gbk.h"
#include "common/program_dir.h"
#include "log/date_time.h"
#include "log/error_log.h"
#include "log/log_rotation.h"
#include "log/run_log.h"
#include "support/temp_dir.h"

namespace vidralo {
namespace {

using test::readFile;

std::chrono::system_clock::time_point localTimePoint(int year, int month, int day, int hour, int minute,
                                                     int second) {
  std::tm local{};
  local.tm_year = year - 1900;
  local.tm_mon = month - 1;
  local.tm_mday = day;
  local.tm_hour = hour;
  local.tm_min = minute;
  local.tm_sec = second;
  local.tm_isdst = -1;
  return std::chrono::system_clock::from_time_t(std::mktime(&local));
}

// A program directory of its own and a clock standing (almost) still at a
// chosen local time.
class LogFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    previousDirectory_ = programDirectory();
    setProgramDirectory(dir_.path());
  }
  void TearDown() override {
    setClock(previousClock_);
    setProgramDirectory(previousDirectory_);
  }
  void at(int year, int month, int day, int hour, int minute, int second) {
    // Slow enough that a test never sees the next second begin.
    auto clock = std::make_shared<ScaledClock>(1e-6, localTimePoint(year, month, day, hour, minute, second));
    const auto previous = setClock(clock);
    if (!previousClock_) previousClock_ = previous;
  }
  std::string dataFile(const std::string& name) const { return dir_.file("data/" + name); }

  test::TempDir dir_;
  std::string previousDirectory_;
  std::shared_ptr<const Clock> previousClock_;
};

TEST(FormatDateTime, PadsEveryFieldAndKeepsOtherText) {
  const auto when = localTimePoint(2021, 5, 20, 9, 5, 7);
  EXPECT_EQ(formatDateTime(when), "2021-05-20 09:05:07");
  EXPECT_EQ(formatDateTime(when, ""), "2021-05-20 09:05:07");
  EXPECT_EQ(formatDateTime(when, "HH时mm分 ss yyyy/MM/dd!"), "09时05分 07 2021/05/20!");
  std::tm early{};
  early.tm_year = 987 - 1900;
  early.tm_mon = 0;
  early.tm_mday = 2;
  early.tm_hour = 23;
  early.tm_min = 59;
  early.tm_sec = 58;
  EXPECT_EQ(formatDateTime(early), "0987-01-02 23:59:58");
  EXPECT_EQ(formatDateTime(early, "yyyy"), "0987");
}

TEST_F(LogFiles, FormatDateTimeWithoutArgumentsReadsTheAppClock) {
  at(2021, 5, 20, 9, 5, 7);
  EXPECT_EQ(formatDateTime(), "2021-05-20 09:05:07");
}

TEST_F(LogFiles, TimePartStopsAfterTheLastFieldThatIsNotZero) {
  const auto stampAt = [](int h, int m, int s) {
    const std::time_t t = std::chrono::system_clock::to_time_t(localTimePoint(2021, 5, 20, h, m, s));
    std::tm local{};
    localtime_r(&t, &local);
    return runLogTimeStamp(local);
  };
  EXPECT_EQ(stampAt(13, 0, 0), "2021年5月20日13时");
  EXPECT_EQ(stampAt(13, 5, 0), "2021年5月20日13时5分");
  EXPECT_EQ(stampAt(13, 5, 7), "2021年5月20日13时5分7秒");
  EXPECT_EQ(stampAt(0, 0, 7), "2021年5月20日0时0分7秒");
  EXPECT_EQ(stampAt(0, 3, 0), "2021年5月20日0时3分");
  EXPECT_EQ(stampAt(0, 0, 0), "2021年5月20日");
}

TEST_F(LogFiles, NewestLineComesFirstInGbk) {
  std::filesystem::create_directories(dir_.file("data"));
  at(2021, 5, 20, 9, 5, 7);
  writeRunLog("显示版本号1.2");
  at(2021, 5, 20, 13, 0, 0);
  writeRunLog("启动升级程序检查");

  const std::string bytes = readFile(dataFile("运行日志2021年5月20日.txt"));
  EXPECT_EQ(bytes, utf8ToGbk("2021年5月20日13时   启动升级程序检查\r\n"
                             "2021年5月20日9时5分7秒   显示版本号1.2\r\n"));
}

TEST_F(LogFiles, LineAfterMidnightStartsTheNewDaysFile) {
  std::filesystem::create_directories(dir_.file("data"));
  at(2021, 5, 20, 23, 59, 59);
  writeRunLog("前一天");
  at(2021, 5, 21, 0, 0, 0);
  writeRunLog("午夜");
  at(2021, 5, 21, 0, 0, 1);
  writeRunLog("午夜后");

  EXPECT_EQ(readFile(dataFile("运行日志2021年5月20日.txt")), utf8ToGbk("2021年5月20日23时59分59秒   前一天\r\n"));
  EXPECT_EQ(readFile(dataFile("运行日志2021年5月21日.txt")),
            utf8ToGbk("2021年5月21日0时0分1秒   午夜后\r\n2021年5月21日   午夜\r\n"));
}

TEST_F(LogFiles, LinesAreDroppedWithoutTheDataDirectoryOrWhenTheDayFileIsNoFile) {
  at(2021, 5, 20, 9, 0, 0);
  writeRunLog("丢失");
  EXPECT_FALSE(std::filesystem::exists(dir_.file("data")));

  std::filesystem::create_directories(dataFile("运行日志2021年5月20日.txt"));
  writeRunLog("也丢失");
  EXPECT_TRUE(std::filesystem::is_directory(dataFile("运行日志2021年5月20日.txt")));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.file("data")), std::filesystem::directory_iterator()), 1);
}

TEST_F(LogFiles, OldLinesSurviveAsTheyWereIncludingForeignBytes) {
  const std::string old = "\xff\xfe odd bytes\nno CR here";
  dir_.write("data/运行日志2021年5月20日.txt", old);
  at(2021, 5, 20, 9, 0, 0);
  writeRunLog("新");
  EXPECT_EQ(readFile(dataFile("运行日志2021年5月20日.txt")), utf8ToGbk("2021年5月20日9时   新\r\n") + old);
}

TEST_F(LogFiles, ErrorLogEntriesRunOnWithoutAddedBreaks) {
  const std::string entry = "  进程ID：42\r\n运行时间：2021-05-20 09:05:07\r\n程序未以管理员权限运行，可能会导致部分功能失效，请留意.";
  appendErrorLog(entry);
  appendErrorLog(entry);
  EXPECT_EQ(readFile(dir_.file("logs/error.log")), utf8ToGbk(entry + entry));
}

TEST_F(LogFiles, ErrorLogCreatesEveryMissingLevel) {
  const std::string nested = dir_.file("a/b");
  setProgramDirectory(nested);
  appendErrorLog("x");
  EXPECT_EQ(readFile(nested + "/logs/error.log"), "x");
}

TEST(LogRotation, TheNewestFilesAreKeptAndTheOldestDropped) {
  test::TempDir dir;
  const std::string log = dir.file("engine.log");
  dir.write("engine.log", std::string(10, 'a'));
  rotateWhenLarger(log, 10, 2);
  EXPECT_EQ(test::readFile(log), std::string(10, 'a')) << "a file at its limit stays";
  for (char c : {'b', 'c', 'd'}) {
    dir.write("engine.log", std::string(11, c));
    rotateWhenLarger(log, 10, 2);
  }
  EXPECT_FALSE(std::filesystem::exists(log));
  EXPECT_EQ(test::readFile(log + ".1"), std::string(11, 'd'));
  EXPECT_EQ(test::readFile(log + ".2"), std::string(11, 'c'));
  EXPECT_FALSE(std::filesystem::exists(log + ".3"));
}

}  // namespace
}  // namespace vidralo
