#pragma once
// The program's command line, parsed with QCommandLineParser before any
// window or display is needed, so that --help and --version work anywhere.
#include <optional>
#include <string>
#include <vector>

#include "controls/control_model.h"

namespace vidralo {

struct ControlSetting {
  ControlId id;
  std::string value;
};

struct CommandLine {
  bool help = false;
  bool version = false;
  bool headless = false;
  bool demo = false;
  std::optional<std::string> directory;   // --dir
  std::optional<std::string> screenshot;  // --screenshot
  std::optional<std::string> faultFile;   // --report-fault
  std::optional<int> statusPort;          // --status-port
  std::vector<ControlSetting> settings;   // --set, in order
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
