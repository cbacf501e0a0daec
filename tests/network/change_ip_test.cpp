// changeIp over a fake platform, with a clock that runs the 8-second waits
// in milliseconds.
#include "network/change_ip.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <thread>

#include "common/clock.h"
#include "common/stop.h"
#include "fake_dial_platform.h"
#include "support/ip_lookup_site.h"
#include "network/broadband_dialer.h"
#include "support/program_directory.h"
#include "support/temp_dir.h"

namespace vidralo {
namespace {

using C = ControlId;

class ChangeIpTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_.write("config.ini", "[hosts]\niplookup = " + site_.origin() + "\n");
    previousClock_ = setClock(std::make_shared<ScaledClock>(2000.0, std::chrono::system_clock::now()));
    controls_.setText(C::宽带_账号, "op");
    controls_.setText(C::宽带_密码, "pw");
  }
  void TearDown() override { setClock(previousClock_); }

  std::string status() const { return controls_.caption(C::宽带_提示); }

  test::TempDir dir_;
  test::ProgramDirectoryIn programDirectory_{dir_.path()};
  std::shared_ptr<const Clock> previousClock_;
  test::IpLookupSite site_;
  ControlModel controls_;
  test::FakeDialPlatform platform_;
};

TEST_F(ChangeIpTest, StatusAfterEachCourseOfAttempts) {
  const std::string retry = "重新拨号失败，8秒后继续\r\n";
  const struct {
    const char* name;
    std::deque<std::string> addresses;
    std::size_t dials;
    std::string status;
  } cases[] = {
      {"first attempt", {"10.0.0.2"}, 1, "当前ip：203.0.113.7\r\n重播成功新ip：10.0.0.2"},
      {"second attempt", {"", "10.0.0.3"}, 2, retry + "重播成功新ip：10.0.0.3"},
      {"tenth attempt", {"", "", "", "", "", "", "", "", "", "10.0.0.4"}, 10, retry + "重播成功新ip：10.0.0.4"},
      {"only the eleventh", {"", "", "", "", "", "", "", "", "", "", "10.0.0.5"}, 11,
       retry + "自动拨号可能没有成功，请确认：10.0.0.5"},
      {"never", {}, 11, retry + "自动拨号可能没有成功，请确认："},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    test::FakeDialPlatform platform;
    platform.addresses = c.addresses;
    const std::int64_t start = appClock().tickMs();
    changeIp(controls_, platform);
    EXPECT_EQ(status(), c.status);
    EXPECT_EQ(platform.dials.size(), c.dials);
    // One 8-second wait before each repeated attempt.
    EXPECT_GE(appClock().tickMs() - start, static_cast<std::int64_t>(c.dials - 1) * 8000);
  }
}

TEST_F(ChangeIpTest, WithoutALookupSiteTheOldAddressIsLeftOut) {
  dir_.write("config.ini", "");
  platform_.addresses = {"10.0.0.2"};
  changeIp(controls_, platform_);
  EXPECT_EQ(status(), "当前ip：\r\n重播成功新ip：10.0.0.2");
}

TEST_F(ChangeIpTest, BoxesAreReadAfreshBeforeEveryAttempt) {
  platform_.addresses = {"", "10.0.0.3"};
  platform_.onDial = [this] { controls_.setText(C::宽带_账号, "second"); };
  changeIp(controls_, platform_);
  ASSERT_EQ(platform_.dials.size(), 2u);
  EXPECT_EQ(platform_.dials[0].user, "op");
  EXPECT_EQ(platform_.dials[1].user, "second");
  EXPECT_EQ(platform_.dials[1].password, "pw");
}

TEST_F(ChangeIpTest, HangsUpOnlyAConnectionOfExactlyTheEntryName) {
  const struct {
    const char* name;
    std::string connected;
    std::string entry;
    std::size_t hangUps;
  } cases[] = {
      {"same name", "宽带连接", "宽带连接", 1},
      {"online through another connection", "有线连接", "宽带连接", 0},
      {"entry name with blanks around it", "宽带连接", " 宽带连接 ", 0},
      {"empty entry name", "", "", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    test::FakeDialPlatform platform;
    platform.connectedName = c.connected;
    platform.addresses = {"10.0.0.2"};
    controls_.setText(C::宽带_名称, c.entry);
    changeIp(controls_, platform);
    EXPECT_EQ(platform.commandHangUps.size(), c.hangUps);
    ASSERT_EQ(platform.dials.size(), 1u);
    // The name is dialled as typed, also when empty.
    EXPECT_EQ(platform.dials[0].entry, c.entry);
  }
}

TEST_F(ChangeIpTest, RedialWithoutAnEntryNameDialsTheDefaultEntry) {
  platform_.addresses = {"10.0.0.2"};
  BroadbandDialer dialer(platform_);
  EXPECT_EQ(dialer.redial(std::nullopt, "op", "pw"), "10.0.0.2");
  EXPECT_EQ(platform_.dials.at(0).entry, "宽带连接");
}

TEST_F(ChangeIpTest, StopEndsTheRunAtItsNextWait) {
  std::stop_source stop;
  platform_.onDial = [&stop] { stop.request_stop(); };
  std::thread run([&] {
    StopScope scope(stop.get_token());
    changeIp(controls_, platform_);
  });
  run.join();
  EXPECT_EQ(platform_.dials.size(), 1u);
}

TEST_F(ChangeIpTest, OnlyOneChangeRunsAtATime) {
  std::mutex mutex;
  std::condition_variable changed;
  bool dialling = false, release = false;
  platform_.addresses = {"10.0.0.2"};
  platform_.onDial = [&] {
    std::unique_lock lock(mutex);
    dialling = true;
    changed.notify_all();
    changed.wait(lock, [&] { return release; });
  };
  std::thread first([&] { EXPECT_TRUE(testRedialUnlessRunning(controls_, platform_)); });
  {
    std::unique_lock lock(mutex);
    changed.wait(lock, [&] { return dialling; });
  }
  // A second click starts nothing.
  test::FakeDialPlatform other;
  EXPECT_FALSE(testRedialUnlessRunning(controls_, other));
  // The job waits for the running change instead of starting its own; its
  // stop, already requested here, ends the wait at once.
  {
    std::stop_source stopped;
    stopped.request_stop();
    StopScope scope(stopped.get_token());
    changeIpBetweenAccounts(controls_, other);
  }
  EXPECT_TRUE(other.dials.empty());
  {
    std::lock_guard lock(mutex);
    release = true;
  }
  changed.notify_all();
  first.join();
  EXPECT_EQ(platform_.dials.size(), 1u);
  EXPECT_EQ(status(), "当前ip：203.0.113.7\r\n重播成功新ip：10.0.0.2");
}

}  // namespace
}  // namespace vidralo
