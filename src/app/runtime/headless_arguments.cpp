#include <cstring>

#include "app/runtime/headless_run.h"

namespace vidralo {
namespace {

std::optional<ControlSetting> parseSetting(const std::string& assignment, std::string& error) {
  const std::size_t equals = assignment.find('=');
  if (equals == std::string::npos) {
    error = "--set 需要 NAME=VALUE 的形式：" + assignment;
    return std::nullopt;
  }
  const std::string name = assignment.substr(0, equals);
  const std::string value = assignment.substr(equals + 1);
  const std::optional<ControlId> id = findControl(name);
  if (!id) {
    error = "没有名为 " + name + " 的控件";
    return std::nullopt;
  }
  const ControlKind kind = controlInfo(*id).kind;
  if (kind == ControlKind::CheckBox || kind == ControlKind::RadioButton) {
    if (value != "真" && value != "假") {
      error = name + " 只能设为 真 或 假：" + value;
      return std::nullopt;
    }
  } else if (!isEditBox(kind)) {
    error = name + " 不是编辑框、选择框或单选框，不能用 --set 设置";
    return std::nullopt;
  }
  return ControlSetting{*id, value};
}

}  // namespace

std::optional<std::vector<ControlSetting>> parseHeadlessArguments(const std::vector<std::string>& arguments,
                                                                  std::string& error) {
  std::vector<ControlSetting> settings;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (argument == "--headless") continue;
    std::optional<ControlSetting> setting;
    if (argument == "--set") {
      if (i + 1 >= arguments.size()) {
        error = "--set 后面缺少 NAME=VALUE";
        return std::nullopt;
      }
      setting = parseSetting(arguments[++i], error);
    } else if (argument.starts_with("--set=")) {
      setting = parseSetting(argument.substr(6), error);
    } else {
      error = "无法识别的参数：" + argument;
      return std::nullopt;
    }
    if (!setting) return std::nullopt;
    settings.push_back(std::move(*setting));
  }
  return settings;
}

void applyControlSettings(ControlModel& controls, const std::vector<ControlSetting>& settings) {
  for (const ControlSetting& setting : settings) {
    if (isEditBox(controlInfo(setting.id).kind))
      controls.setText(setting.id, setting.value);
    else
      controls.setChecked(setting.id, setting.value == "真");
  }
}

bool isHeadlessRun(int argc, char** argv) {
  for (int i = 1; i < argc; ++i)
    if (std::strcmp(argv[i], "--headless") == 0) return true;
  return false;
}

}  // namespace vidralo
