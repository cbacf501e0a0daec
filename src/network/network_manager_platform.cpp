#include "network/network_manager_platform.h"

#include <optional>
#include <sstream>

#include "common/command_runner.h"
#include "network/dial_names.h"
#include "network/link_address.h"
#include "network/secret_file.h"

namespace vidralo {
namespace {

using namespace std::chrono_literals;

constexpr auto kQueryLimit = 15s;
// nmcli waits up to its own --wait for the activation.
constexpr auto kDialLimit = 75s;

bool succeeds(const std::vector<std::string>& arguments, std::chrono::milliseconds limit) {
  const CommandResult result = runCommand(arguments, limit);
  return result.started && result.exitCode == 0;
}

// nmcli's terse output escapes ':' and '\' with a backslash.
std::string unescaped(const std::string& line) {
  std::string text;
  for (std::size_t i = 0; i < line.size(); ++i) {
    if (line[i] == '\\' && i + 1 < line.size()) ++i;
    text += line[i];
  }
  return text;
}

std::string firstLine(const std::string& output) { return output.substr(0, output.find('\n')); }

}  // namespace

bool NetworkManagerPlatform::isConnected(const std::string& entry) {
  std::istringstream active(runCommand({"nmcli", "-t", "-g", "NAME", "connection", "show", "--active"}, kQueryLimit).output);
  for (std::string line; std::getline(active, line);)
    if (withoutBlanks(unescaped(line)) == entry) return true;
  return false;
}

bool NetworkManagerPlatform::hangUp() {
  return !dialled_.empty() && succeeds({"nmcli", "connection", "down", "id", dialled_}, kQueryLimit);
}

bool NetworkManagerPlatform::hangUpByCommand(std::string& entry) {
  defaultBlankEntry(entry);
  return runCommand({"nmcli", "connection", "down", "id", entry}, kQueryLimit).started;
}

bool NetworkManagerPlatform::dial(const std::string& entry, const std::string& user, const std::string& password) {
  dialled_.clear();
  if (!user.empty() && !succeeds({"nmcli", "connection", "modify", "id", entry, "pppoe.username", user}, kQueryLimit))
    return false;
  std::vector<std::string> up = {"nmcli", "--wait", "60", "connection", "up", "id", entry};
  std::optional<SecretFile> secret;
  if (!password.empty()) {
    secret.emplace("pppoe.password:" + password + "\n");
    if (secret->path().empty()) return false;
    up.insert(up.end(), {"passwd-file", secret->path()});
  }
  if (!succeeds(up, kDialLimit)) return false;
  dialled_ = entry;
  return true;
}

std::string NetworkManagerPlatform::linkAddress(const std::string& entry) {
  const CommandResult device =
      runCommand({"nmcli", "-g", "GENERAL.IP-IFACE", "connection", "show", "id", entry}, kQueryLimit);
  return interfaceIpv4Address(firstLine(device.output));
}

}  // namespace vidralo
