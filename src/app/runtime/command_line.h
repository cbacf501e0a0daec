#pragma once
// The program's command line, parsed with QCommandLineParser before any
// window or display is needed, so that --help and --version work anywhere.
#include <optional>
#include <string>
#include <vector>

#include "controls/control_model.h"
#include "history/history_reader.h"

namespace vidralo {

struct ControlSetting {
  ControlId id;
  std::string value;
};

// --history [--account ID] [--since YYYY-MM-DD] [--csv]
struct HistoryRequest {
  HistoryFilter filter;
  bool csv = false;
};

struct CommandLine {
  bool help = false;
  bool version = false;
  bool headless = false;
  bool demo = false;
  bool listSettings = false;      // --list-settings
  bool acceptDisclaimer = false;  // --accept-disclaimer
  std::optional<std::string> directory;   // --dir
  std::optional<std::string> screenshot;  // --screenshot
  std::optional<std::string> faultFile;   // --report-fault
  std::optional<int> statusPort;          // --status-port
  std::vector<ControlSetting> settings;   // --set, in order
  std::optional<HistoryRequest> history;  // --history and its filters
  std::optional<std::string> loginAccount;  // --login ID
  int loginWaitSeconds = 300;               // --login-wait N
  bool checkLogins = false;                 // --check-logins
  std::optional<std::string> addAccountFolder;  // --add-account FOLDER
  std::optional<std::string> nickname;          // --nickname NAME (with --add-account)
};

// `arguments` includes the program name first. On a bad command line returns
// nothing and sets `error`.
std::optional<CommandLine> parseCommandLine(const std::vector<std::string>& arguments, std::string& error);

// Every option with one line each.
std::string usageText();

// Gives each control its value: edit boxes their text, check boxes and radio
// buttons "真" or "假".
void applyControlSettings(ControlModel& controls, const std::vector<ControlSetting>& settings);

}  // namespace vidralo
