#include "support/stand_in_dial_tools.h"

#include <cstdlib>
#include <filesystem>

namespace vidralo::test {
namespace {

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
linkname=
while [ $# -gt 0 ]; do
  [ "$1" = file ] && keep "$2"
  [ "$1" = linkname ] && linkname="$2"
  shift
done
if [ -n "$linkname" ] && [ -e "$state/not-root" ]; then
  echo "pppd: using the linkname option requires root privilege" >&2; exit 2
fi
mkdir -p "$state/run" "$state/proc/4242"
[ -n "$linkname" ] && printf '4242\nlo\n' > "$state/run/ppp-$linkname.pid"
printf '4242\n' > "$state/run/lo.pid"
printf '/usr/sbin/pppd\0call\0%s\0updetach\0' "$name" > "$state/proc/4242/cmdline"
)sh";

constexpr const char* kPoff = R"sh(#!/bin/bash
state="$VIDRALO_STANDIN"
printf '%s\n' "poff $*" >> "$state/calls"
rm -rf "$state/proc/4242" "$state/run/ppp-$1.pid" "$state/run/lo.pid"
)sh";

std::string withKeep(std::string script) {
  if (const std::size_t at = script.find("KEEP\n"); at != std::string::npos) script.replace(at, 5, kKeepSecret);
  return script;
}

std::string installStandInDialTools(const TempDir& dir) {
  for (const auto& [name, script] : {std::pair{"nmcli", kNmcli}, {"pon", kPon}, {"poff", kPoff}})
    std::filesystem::permissions(dir.write(std::string("bin/") + name, withKeep(script)),
                                 std::filesystem::perms::owner_all);
  std::filesystem::create_directories(dir.file("proc"));
  return dir.file("bin");
}

}  // namespace

StandInDialTools::StandInDialTools(const TempDir& dir) : previousPath_(std::getenv("PATH") ? std::getenv("PATH") : "") {
  ::setenv("PATH", (installStandInDialTools(dir) + ":" + previousPath_).c_str(), 1);
  ::setenv("VIDRALO_STANDIN", dir.path().c_str(), 1);
}

StandInDialTools::~StandInDialTools() {
  ::setenv("PATH", previousPath_.c_str(), 1);
  ::unsetenv("VIDRALO_STANDIN");
}

}  // namespace vidralo::test
