// The NetworkManager and pppd layers against stand-in nmcli, pon and poff
// commands on the PATH, which answer as the real tools do and record their
// arguments; the link address read from a real interface in a network
// namespace of its own.
#include <sched.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <thread>

#include "network/broadband_dialer.h"
#include "network/command_runner.h"
#include "network/link_address.h"
#include "network/network_manager_platform.h"
#include "network/pppd_platform.h"
#include "network/system_dial_platform.h"
#include "support/temp_dir.h"

namespace vidralo {
namespace {

using namespace std::chrono_literals;

// Each stand-in appends "TOOL ARGS" to $VIDRALO_STANDIN/calls and copies an
// options or password file it is handed (with its mode and path) for the
// test to look at after the file is gone.
constexpr const char* kKeepSecret = R"sh(keep() { cat "$1" > "$state/secret"; stat -c %a "$1" > "$state/secret-mode"; printf %s "$1" > "$state/secret-path"; }
)sh";

constexpr const char* kNmcli = R"sh(#!/bin/bash
state="$VIDRALO_STANDIN"
printf '%s\n' "nmcli $*" >> "$state/calls"
KEEP
case "$*" in
  "-t -g RUNNING general") cat "$state/nm-running" 2>/dev/null ;;
  "-t -g NAME connection show --active") cat "$state/active" 2>/dev/null ;;
  "connection down id "*) : > "$state/active" ;;
  "connection modify id "*) ;;
  "--wait 60 connection up id "*)
    [ "$7" = passwd-file ] && keep "$8"
    printf '%s\n' "$6" > "$state/active"
    echo "Connection successfully activated (D-Bus active path: /org/freedesktop/NetworkManager/ActiveConnection/7)" ;;
  "-g GENERAL.IP-IFACE connection show id "*) echo lo ;;
  *) echo "Error: unexpected arguments" >&2; exit 2 ;;
esac
)sh";

constexpr const char* kPon = R"sh(#!/bin/bash
state="$VIDRALO_STANDIN"
printf '%s\n' "pon $*" >> "$state/calls"
KEEP
name="$1"
while [ $# -gt 0 ]; do [ "$1" = file ] && keep "$2"; shift; done
mkdir -p "$state/run" "$state/proc/4242"
printf '4242\nlo\n' > "$state/run/ppp-$name.pid"
printf '/usr/sbin/pppd\0call\0%s\0updetach\0' "$name" > "$state/proc/4242/cmdline"
)sh";

constexpr const char* kPoff = R"sh(#!/bin/bash
state="$VIDRALO_STANDIN"
printf '%s\n' "poff $*" >> "$state/calls"
rm -rf "$state/proc/4242" "$state/run/ppp-$1.pid"
)sh";

std::string withKeep(std::string script) {
  if (const std::size_t at = script.find("KEEP\n"); at != std::string::npos) script.replace(at, 5, kKeepSecret);
  return script;
}

class DialPlatformTest : public ::testing::Test {
 protected:
  void SetUp() override {
    previousPath_ = std::getenv("PATH") ? std::getenv("PATH") : "";
    for (const auto& [name, script] : {std::pair{"nmcli", kNmcli}, {"pon", kPon}, {"poff", kPoff}})
      std::filesystem::permissions(dir_.write(std::string("bin/") + name, withKeep(script)),
                                   std::filesystem::perms::owner_all);
    std::filesystem::create_directories(dir_.file("proc"));
    ::setenv("PATH", (dir_.file("bin") + ":" + previousPath_).c_str(), 1);
    ::setenv("VIDRALO_STANDIN", dir_.path().c_str(), 1);
  }
  void TearDown() override {
    ::setenv("PATH", previousPath_.c_str(), 1);
    ::unsetenv("VIDRALO_STANDIN");
  }

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
  std::string previousPath_;
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
  PppdPlatform platform(dir_.file("run"), dir_.file("proc"));
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
