#include "app/runtime/headless_run.h"

namespace vidralo {

std::optional<std::vector<ControlSetting>> parseHeadlessArguments(const std::vector<std::string>& arguments,
                                                                  std::string& error) {
  std::vector<std::string> line{"vidralo"};
  line.insert(line.end(), arguments.begin(), arguments.end());
  std::optional<CommandLine> parsed = parseCommandLine(line, error);
  if (!parsed) return std::nullopt;
  return std::move(parsed->settings);
}

void applyControlSettings(ControlModel& controls, const std::vector<ControlSetting>& settings) {
  for (const ControlSetting& setting : settings) {
    if (isEditBox(controlInfo(setting.id).kind))
      controls.setText(setting.id, setting.value);
    else
      controls.setChecked(setting.id, setting.value == "真");
  }
}

}  // namespace vidralo
