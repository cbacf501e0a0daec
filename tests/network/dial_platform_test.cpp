// The NetworkManager and pppd layers against stand-in nmcli, pon and poff
// commands on the PATH; the link address read from a real interface in a network
// namespace of its own.
#include <sched.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "common/command_runner.h"
#include "network/broadband_dialer.h"
#include "network/link_address.h"
#include "network/network_manager_platform.h"
#include "network/pppd_platform.h"
#include "network/secret_file.h"
#include "network/system_dial_platform.h"
#include "support/stand_in_dial_tools.h"
#include "support/temp_dir.h"

namespace vidralo {
namespace {

using namespace std::chrono_literals;

class DialPlatformTest : public ::testing::Test {
 protected:
  std::string calls() const { return test::readFile(dir_.file("calls")); }
  // The password file handed over: its text, its mode, and whether it is
  // gone now.
  void expectSecretHandedOverAndRemoved(const std::string& text) const {
    EXPECT_EQ(test::readFile(dir_.file("secret")), text);
    EXPECT_EQ(test::readFile(dir_.file("secret-mode")), "600\n");
    const std::string path = test::readFile(dir_.file("secret-path"));
    EXPECT_FALSE(path.empty());
    EXPECT_FALSE(std::filesystem::exists(path)) << path;
  }

  test::TempDir dir_;
  test::StandInDialTools standIns_{dir_};
};

TEST_F(DialPlatformTest, NetworkManagerBringsTheConnectionDownAndUpWithThePasswordInAFile) {
  dir_.write("active", "有线连接 1\n宽带连接\n");
  NetworkManagerPlatform platform;
  BroadbandDialer dialer(platform);
  EXPECT_EQ(dialer.redial("宽带连接", "op", "s3cret pw"), "127.0.0.1");
  EXPECT_EQ(calls(),
            "nmcli -t -g NAME connection show --active\n"
            "nmcli connection down id 宽带连接\n"
            "nmcli connection modify id 宽带连接 pppoe.username op\n"
            "nmcli --wait 60 connection up id 宽带连接 passwd-file " +
                test::readFile(dir_.file("secret-path")) +
                "\n"
                "nmcli -g GENERAL.IP-IFACE connection show id 宽带连接\n");
  EXPECT_EQ(calls().find("s3cret"), std::string::npos);
  expectSecretHandedOverAndRemoved("pppoe.password:s3cret pw\n");
}

TEST_F(DialPlatformTest, PppdDialsThePeerAndHangsUpItsOwnLinkBeforeTheNextDial) {
  PppdPlatform platform(dir_.file("run"), dir_.file("proc"), true);
  BroadbandDialer dialer(platform);
  EXPECT_EQ(dialer.redial("dsl-provider", "op", "s3cret \"pw\""), "127.0.0.1");
  const std::string firstOptions = test::readFile(dir_.file("secret-path"));
  expectSecretHandedOverAndRemoved("user \"op\"\npassword \"s3cret \\\"pw\\\"\"\n");
  EXPECT_EQ(dialer.redial("dsl-provider", "", ""), "127.0.0.1");
  EXPECT_EQ(calls(),
            "pon dsl-provider updetach linkname dsl-provider file " + firstOptions +
                "\n"
                "poff dsl-provider\n"
                "pon dsl-provider updetach linkname dsl-provider\n");
  EXPECT_EQ(calls().find("s3cret"), std::string::npos);
}

TEST_F(DialPlatformTest, PppdDialsWithoutLinknameWhenNotRootAndFindsTheLinkByItsPid) {
  dir_.write("not-root", "");
  PppdPlatform platform(dir_.file("run"), dir_.file("proc"), false);
  BroadbandDialer dialer(platform);
  EXPECT_EQ(dialer.redial("dsl-provider", "", ""), "127.0.0.1");
  EXPECT_EQ(calls(), "pon dsl-provider updetach\n");
}

TEST_F(DialPlatformTest, ConnectionNamesAreComparedAfterTrimmingTheReportedName) {
  dir_.write("active", "  宽带连接\xE3\x80\x80\n");
  NetworkManagerPlatform platform;
  EXPECT_TRUE(platform.isConnected("宽带连接"));
  EXPECT_FALSE(platform.isConnected(" 宽带连接 "));
  EXPECT_FALSE(platform.isConnected("宽带"));
}

TEST_F(DialPlatformTest, HangUpCommandDialsTheDefaultEntryForABlankName) {
  NetworkManagerPlatform networkManager;
  PppdPlatform pppd(dir_.file("run"), dir_.file("proc"));
  for (DialPlatform* platform : std::initializer_list<DialPlatform*>{&networkManager, &pppd}) {
    std::string entry = " \xE3\x80\x80 ";
    EXPECT_TRUE(platform->hangUpByCommand(entry));
    EXPECT_EQ(entry, "宽带连接");
  }
  EXPECT_EQ(calls(), "nmcli connection down id 宽带连接\npoff 宽带连接\n");
}

TEST_F(DialPlatformTest, NetworkManagerIsChosenWhenItRuns) {
  EXPECT_NE(dynamic_cast<PppdPlatform*>(systemDialPlatform().get()), nullptr);
  dir_.write("nm-running", "running\n");
  EXPECT_NE(dynamic_cast<NetworkManagerPlatform*>(systemDialPlatform().get()), nullptr);
}

TEST(SecretFileTest, AKilledDialsFileIsRemovedAtTheNextStartALivingOnesKept) {
  test::TempDir temporary;
  const std::string previous = std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "";
  ::setenv("TMPDIR", temporary.path().c_str(), 1);
  {
    const SecretFile living("password \"a\"\n");
    temporary.write("vidralo-dial-k1lled/secret", "password \"b\"\n");
    temporary.write("vidralo-dial-empty/.keep", "");
    std::filesystem::remove(temporary.file("vidralo-dial-empty/.keep"));
    EXPECT_EQ(SecretFile::removeStranded(), 1);
    EXPECT_FALSE(std::filesystem::exists(temporary.file("vidralo-dial-k1lled")));
    EXPECT_FALSE(std::filesystem::exists(temporary.file("vidralo-dial-empty")));
    EXPECT_EQ(test::readFile(living.path()), "password \"a\"\n");
  }
  EXPECT_TRUE(std::filesystem::is_empty(temporary.path()));
  ::setenv("TMPDIR", previous.c_str(), 1);
  if (previous.empty()) ::unsetenv("TMPDIR");
}

TEST(CommandRunnerTest, OutputExitCodeAndTimeLimit) {
  const CommandResult printed = runCommand({"printf", "a b"}, 10s);
  EXPECT_TRUE(printed.started);
  EXPECT_EQ(printed.output, "a b");
  EXPECT_EQ(printed.exitCode, 0);
  EXPECT_EQ(runCommand({"false"}, 10s).exitCode, 1);
  const CommandResult stuck = runCommand({"sleep", "60"}, 100ms);
  EXPECT_TRUE(stuck.started);
  EXPECT_EQ(stuck.exitCode, -1);
  EXPECT_FALSE(runCommand({"vidralo-no-such-command"}, 10s).started);
}

// Runs `work` on a thread in a network namespace of its own (the namespace
// ends with the thread); false when the system refuses one.
bool inOwnNetworkNamespace(const std::function<void()>& work) {
  bool made = false;
  std::thread([&] {
    made = ::unshare(CLONE_NEWNET) == 0;
    if (made) work();
  }).join();
  return made;
}

TEST(LinkAddressTest, ReadsTheIpv4AddressOfARealInterface) {
  std::string up, bare, missing;
  const bool made = inOwnNetworkNamespace([&] {
    // Commands started from this thread share its namespace.
    if (std::system("ip link add vx0 type veth peer name vx1 && ip addr add 10.77.0.2/24 dev vx0 && "
                    "ip -6 addr add fd00::2/64 dev vx1") != 0)
      return;
    up = interfaceIpv4Address("vx0");
    bare = interfaceIpv4Address("vx1");
    missing = interfaceIpv4Address("vx9");
  });
  if (!made) GTEST_SKIP() << "cannot create a network namespace (needs root or CAP_SYS_ADMIN); not tested";
  EXPECT_EQ(up, "10.77.0.2");
  EXPECT_EQ(bare, "");
  EXPECT_EQ(missing, "");
}

}  // namespace
}  // namespace vidralo
