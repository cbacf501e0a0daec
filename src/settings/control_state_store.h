#pragma once
// Keeps the main window's edit boxes, radio buttons and combo boxes from one
// run to the next in the settings file "\data\setsoft.ini": sections
// "编辑框", "单选框" and "组合框", one key per control, named as the
// control. Check boxes are not kept.
//
// Every operation takes the settings path by reference and, when it is
// empty, sets it to defaultSettingsPath() first. A save returns false when
// the file could not be written (the old file then stays as it was); a value
// that cannot be read leaves the control as it is.
#include <string>
#include <string_view>

#include "controls/control_model.h"

namespace vidralo {

inline constexpr std::string_view kEditBoxSection = "编辑框";
inline constexpr std::string_view kRadioButtonSection = "单选框";
inline constexpr std::string_view kComboBoxSection = "组合框";

// What the operator is told when the settings file could not be written.
inline std::string settingsNotSavedText(const std::string& settingsPath) { return "设置无法保存：" + settingsPath; }

// Program directory + "\data\setsoft.ini"; creates "\data" when it is not a
// directory yet.
std::string defaultSettingsPath();

// `excluded`: control names separated by "|"; a control whose name equals one
// of them exactly is not saved.
bool saveEditBoxes(const ControlModel& window, std::string& settingsPath, std::string_view excluded);
bool saveRadioButtons(const ControlModel& window, std::string& settingsPath, std::string_view excluded);
bool saveComboBoxes(const ControlModel& window, std::string& settingsPath, std::string_view excluded);

// The three saves above in one write of the file, with the same result.
bool saveControlStates(const ControlModel& window, std::string& settingsPath, std::string_view excluded);

// A control without a stored value (or with an empty one) keeps its value.
void restoreEditBoxes(ControlModel& window, std::string& settingsPath);
// "假" unchecks, any other stored value checks.
void restoreRadioButtons(ControlModel& window, std::string& settingsPath);
// Replaces the items, the selection and the edit text, in that order.
void restoreComboBoxes(ControlModel& window, std::string& settingsPath);

}  // namespace vidralo
