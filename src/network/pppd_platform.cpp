#include "network/pppd_platform.h"

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <sstream>

#include "common/command_runner.h"
#include "common/pumped_wait.h"
#include "common/whole_file.h"
#include "network/dial_names.h"
#include "network/link_address.h"
#include "network/secret_file.h"

namespace vidralo {
namespace {

using namespace std::chrono_literals;

constexpr auto kHangUpLimit = 15s;
constexpr auto kDialLimit = 90s;

std::string fileText(const std::filesystem::path& path) {
  std::string bytes;
  readWholeFile(path.string(), bytes);
  return bytes;
}

// A string in pppd's options syntax: double quotes, with '"' and '\' escaped.
std::string quoted(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

// True when the command line (NUL-separated) is "…/pppd … call ENTRY …".
bool isPppdFor(const std::string& commandLine, const std::string& entry) {
  std::vector<std::string> arguments;
  for (std::size_t start = 0; start < commandLine.size();) {
    const std::size_t end = std::min(commandLine.find('\0', start), commandLine.size());
    arguments.push_back(commandLine.substr(start, end - start));
    start = end + 1;
  }
  if (arguments.empty() || std::filesystem::path(arguments[0]).filename() != "pppd") return false;
  for (std::size_t i = 1; i + 1 < arguments.size(); ++i)
    if (arguments[i] == "call" && arguments[i + 1] == entry) return true;
  return false;
}

}  // namespace

PppdPlatform::PppdPlatform(std::string runDirectory, std::string procDirectory, bool asRoot)
    : runDirectory_(std::move(runDirectory)), procDirectory_(std::move(procDirectory)), asRoot_(asRoot) {}

bool PppdPlatform::isRoot() { return ::geteuid() == 0; }

std::string PppdPlatform::pppdProcess(const std::string& entry) const {
  std::error_code error;
  for (const auto& process : std::filesystem::directory_iterator(procDirectory_, error)) {
    const std::string name = process.path().filename().string();
    if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos) continue;
    if (isPppdFor(fileText(process.path() / "cmdline"), entry)) return name;
  }
  return {};
}

bool PppdPlatform::isConnected(const std::string& entry) { return !pppdProcess(entry).empty(); }

bool PppdPlatform::hangUp() { return !dialled_.empty() && hangUpEntry(dialled_); }

bool PppdPlatform::hangUpByCommand(std::string& entry) {
  defaultBlankEntry(entry);
  return hangUpEntry(entry);
}

bool PppdPlatform::hangUpEntry(const std::string& entry) {
  const CommandResult result = runCommand({"poff", entry}, kHangUpLimit);
  for (int step = 0; step < 50 && isConnected(entry); ++step)
    if (!PumpedWait(200, 0)) break;
  return result.started;
}

bool PppdPlatform::dial(const std::string& entry, const std::string& user, const std::string& password) {
  dialled_.clear();
  // linkname makes pppd write ppp-ENTRY.pid with its interface name; pppd
  // refuses the option from anyone but root (a member of dip included).
  std::vector<std::string> pon = {"pon", entry, "updetach"};
  if (asRoot_) pon.insert(pon.end(), {"linkname", entry});
  std::optional<SecretFile> options;
  if (!user.empty()) {
    options.emplace("user " + quoted(user) + "\npassword " + quoted(password) + "\n");
    if (options->path().empty()) return false;
    pon.insert(pon.end(), {"file", options->path()});
  }
  const CommandResult result = runCommand(pon, kDialLimit);
  if (!result.started || result.exitCode != 0) return false;
  dialled_ = entry;
  return true;
}

std::string PppdPlatform::linkAddress(const std::string& entry) { return interfaceIpv4Address(interfaceOf(entry)); }

std::string PppdPlatform::interfaceOf(const std::string& entry) const {
  // The link file: line 1 the pid, line 2 the interface once the link is up.
  std::istringstream lines(fileText(std::filesystem::path(runDirectory_) / ("ppp-" + entry + ".pid")));
  std::string pid, interfaceName;
  std::getline(lines, pid);
  if (std::getline(lines, interfaceName) && !interfaceName.empty()) return interfaceName;
  // Without a link file: pppd also writes INTERFACE.pid with its pid alone.
  pid = pppdProcess(entry);
  if (pid.empty()) return {};
  std::error_code error;
  for (const auto& file : std::filesystem::directory_iterator(runDirectory_, error)) {
    const std::filesystem::path& path = file.path();
    if (path.extension() != ".pid" || path.filename().string().starts_with("ppp-")) continue;
    std::istringstream content(fileText(path));
    std::string firstLine;
    if (std::getline(content, firstLine) && firstLine == pid) return path.stem().string();
  }
  return {};
}

}  // namespace vidralo
