// The fault report's texts, encoding and signature, and the crash hook's
// record of a real crash in a child process.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <stdexcept>
#include <thread>

#include "common/clock.h"
#include "common/program_dir.h"
#include "online/crash_handler.h"
#include "online/fault_report.h"
#include "support/poll.h"
#include "support/program_directory.h"
#include "support/temp_dir.h"

namespace vidralo::test {
namespace {

using namespace std::chrono;

TEST(UrlEncodeGbkTest, KeepsOnlyUnreservedBytesAndEncodesTheRest) {
  struct Case {
    std::string text;
    std::string encoded;
  };
  const Case cases[] = {
      {"a_b c", "a%5Fb+c"},
      {"第一行\r\n", "%B5%DA%D2%BB%D0%D0%0D%0A"},
      {"-.09AZaz", "-.09AZaz"},
      {"~*/?&=%", "%7E%2A%2F%3F%26%3D%25"},
      {std::string("a\0b", 3), "ab"},
  };
  for (const Case& c : cases) EXPECT_EQ(urlEncodeGbk(c.text), c.encoded) << c.text;
}

TEST(FaultReportTextTest, TitleLosesEveryBlankAndTheBodyKeepsItsIndentation) {
  const FaultFacts facts{"pc 1", "my vidralo", "/opt/视频 工具", "Debian GNU/Linux 12", "1.2"};
  EXPECT_EQ(faultReportTitle(facts), "电脑pc1发现bug，软件-myvidralo版本号1.2");
  EXPECT_EQ(faultReportTitle({"pc\u3000", "v", "", "", "1.2"}), "电脑pc发现bug，软件-v版本号1.2");
  EXPECT_EQ(faultReportBody(facts, 11, "SIGSEGV"),
            "所属软件：my vidralo\r\n    软件运行路径：/opt/视频 工具\r\n   操作系统：Debian GNU/Linux 12"
            "\r\n   软件错误代码：11\r\n   错误信息：SIGSEGV\r\n其他信息：     Vesko软件 错误信息和bug通知系统。\r\n");
}

TEST(FaultReportTextTest, TheMessageClaimsAReportOnlyWhenOneIsSent) {
  EXPECT_EQ(faultOperatorMessage(6, "坏了", true),
            "软件发生致命错误，将尝试上报开发人员加紧修复bug\r\n   软件错误代码：6\r\n   错误信息：坏了");
  EXPECT_EQ(faultOperatorMessage(6, "坏了", false), "软件发生致命错误\r\n   软件错误代码：6\r\n   错误信息：坏了");
}

// A clock that stands nearly still at `wall`, in the time zone `zone`.
class FrozenTime {
 public:
  FrozenTime(system_clock::time_point wall, const char* zone) {
    if (const char* old = std::getenv("TZ")) oldZone_ = old;
    setenv("TZ", zone, 1);
    tzset();
    previous_ = setClock(std::make_shared<ScaledClock>(1e-9, wall));
  }
  ~FrozenTime() {
    setClock(previous_);
    if (oldZone_.empty())
      unsetenv("TZ");
    else
      setenv("TZ", oldZone_.c_str(), 1);
    tzset();
  }

 private:
  std::shared_ptr<const Clock> previous_;
  std::string oldZone_;
};

TEST(SignatureTest, StampCountsLocalSecondsFromEightOClockOnNewYearsDay1970) {
  struct Case {
    std::int64_t unixMs;
    const char* zone;
    const char* stamp;
  };
  const Case cases[] = {
      {1796785445500, "Asia/Shanghai", "1796785445"},  // UTC+8: the Unix time
      {1796785445500, "UTC", "1796756645"},
      {946684800123, "Asia/Shanghai", "9466848001"},   // nine digits: the milliseconds fill up
      {28800000, "UTC", "0000000000"},                  // one digit and its milliseconds, then zeros
  };
  for (const Case& c : cases) {
    FrozenTime time(system_clock::time_point(milliseconds(c.unixMs)), c.zone);
    EXPECT_EQ(secondsTimestamp(), c.stamp) << c.unixMs << " " << c.zone;
  }
}

TEST(SignatureTest, HeaderIsTheSaltedDigestAndRepeatsWithinOneSecond) {
  FrozenTime time(system_clock::time_point(milliseconds(1796785445500)), "Asia/Shanghai");
  const std::string header = makeSignatureHeader();
  EXPECT_EQ(header, "sign:e354674b609b42c2cfcc55a6f202a384@1796785445");
  EXPECT_EQ(makeSignatureHeader(), header);
}

TEST(NotificationTest, WithoutAConfiguredServiceNothingIsSent) {
  TempDir folder;
  ProgramDirectoryIn programFolder(folder.path());
  folder.write("config.ini", "[hosts]\nnotify = 127.0.0.1:1/tongzhi\n");
  EXPECT_EQ(notificationServiceAddress(), "");
  EXPECT_EQ(sendNotification("a@b.c", "t", "b"), "");
}

// The hook runs in a child that really crashes; its reporter copies the
// record where the test reads it.
class CrashHookTest : public ::testing::Test {
 protected:
  std::string install(const std::string& beforeCopy = "true") {
    setProgramDirectory(folder.path());
    return installFaultReporter({"/bin/sh", "-c",
                                 beforeCopy + " && cp \"$0\" \"" + copy + ".part\" && mv \"" + copy + ".part\" \"" +
                                     copy + "\""});
  }
  std::optional<CrashRecord> reportedRecord() {
    pollUntil([&] { return std::filesystem::exists(copy); }, 10s, 10ms);
    return readCrashRecord(copy);
  }
  TempDir folder;
  std::string copy = folder.file("copied-record.txt");
};

TEST_F(CrashHookTest, ACrashSignalIsRecordedAndEndsTheProcessAsTheSignalWould) {
  EXPECT_EXIT(
      {
        install();
        raise(SIGSEGV);
      },
      ::testing::KilledBySignal(SIGSEGV), "");
  const auto record = reportedRecord();
  ASSERT_TRUE(record);
  EXPECT_EQ(record->errorNumber, SIGSEGV);
  EXPECT_EQ(record->errorText, "SIGSEGV");
  EXPECT_EQ(record->programDirectory, folder.path());
  EXPECT_NE(record->backtrace, "");
  // The record stays under "logs".
  ASSERT_EQ(std::distance(std::filesystem::directory_iterator(folder.file("logs")), {}), 1);
}

TEST_F(CrashHookTest, AnUncaughtExceptionIsReportedOnceWithItsMessage) {
  EXPECT_EXIT(
      {
        install();
        // Escaping a thread's function, the exception reaches std::terminate.
        std::thread([] { throw std::runtime_error("坏了\r\n第二行"); }).join();
      },
      ::testing::KilledBySignal(SIGABRT), "");
  const auto record = reportedRecord();
  ASSERT_TRUE(record);
  EXPECT_EQ(record->errorNumber, SIGABRT);
  EXPECT_EQ(record->errorText, "坏了\r\n第二行");
}

// Handling that gets stuck (here the record's path is a pipe nobody reads)
// still ends the process in time, by the crash's own signal.
TEST_F(CrashHookTest, StuckHandlingEndsTheProcessByTheCrashSignalInTime) {
  const pid_t child = fork();
  if (child == 0) {
    mkfifo(install().c_str(), 0600);
    raise(SIGBUS);
    _exit(0);
  }
  int status = 0;
  const bool ended = pollUntil([&] { return waitpid(child, &status, WNOHANG) == child; }, 10s, 10ms);
  if (!ended) {
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
  }
  ASSERT_TRUE(ended);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGBUS) << status;
}

// The reporter keeps nothing the crashed program had open: a lock it held
// is free once the program is gone, while the reporter still runs.
TEST_F(CrashHookTest, TheReporterHoldsNoneOfTheCrashedProgramsFiles) {
  const std::string held = folder.file("held");
  EXPECT_EXIT(
      {
        const int fd = open(held.c_str(), O_WRONLY | O_CREAT, 0600);
        flock(fd, LOCK_EX);
        install("flock -w 5 \"" + held + "\" true");
        raise(SIGSEGV);
      },
      ::testing::KilledBySignal(SIGSEGV), "");
  EXPECT_TRUE(reportedRecord());
}

}  // namespace
}  // namespace vidralo::test
