#include "settings/control_state_store.h"

#include <vector>

#include "common/program_dir.h"
#include "settings/control_value_codec.h"
#include "settings/directories.h"
#include "settings/ini_profile.h"

namespace vidralo {
namespace {

const std::string& resolvedPath(std::string& settingsPath) {
  if (settingsPath.empty()) settingsPath = defaultSettingsPath();
  return settingsPath;
}

bool isExcluded(std::string_view name, std::string_view excluded) {
  while (true) {
    const std::size_t bar = excluded.find('|');
    if (excluded.substr(0, bar) == name) return true;
    if (bar == std::string_view::npos) return false;
    excluded.remove_prefix(bar + 1);
  }
}

std::vector<ControlId> savedControls(ControlKind kind, std::string_view excluded) {
  std::vector<ControlId> controls;
  for (ControlId id : controlsOfKind(kind))
    if (!isExcluded(controlName(id), excluded)) controls.push_back(id);
  return controls;
}

void putEditBoxes(const ControlModel& window, IniProfile& profile, std::string_view excluded) {
  for (ControlId id : savedControls(ControlKind::EditBox, excluded))
    profile.setValue(kEditBoxSection, controlName(id), encodeEditText(window.text(id)));
}

void putRadioButtons(const ControlModel& window, IniProfile& profile, std::string_view excluded) {
  for (ControlId id : savedControls(ControlKind::RadioButton, excluded))
    profile.setValue(kRadioButtonSection, controlName(id), window.checked(id) ? kCheckedValue : kUncheckedValue);
}

void putComboBoxes(const ControlModel& window, IniProfile& profile, std::string_view excluded) {
  for (ControlId id : savedControls(ControlKind::ComboBox, excluded)) {
    const ComboValue value{window.items(id), window.currentIndex(id), window.text(id)};
    profile.setValue(kComboBoxSection, controlName(id), encodeComboValue(value));
  }
}

}  // namespace

std::string defaultSettingsPath() {
  const std::string data = programPath("\\data");
  if (!isDirectory(data)) ensureDirectory(data);
  return programPath("\\data\\setsoft.ini");
}

// One load and one write of the file for any number of kinds; the file
// comes out as it would after one save per kind.
template <typename... Put>
bool saveKinds(const ControlModel& window, std::string& settingsPath, std::string_view excluded, Put... put) {
  IniProfile profile(resolvedPath(settingsPath));
  (put(window, profile, excluded), ...);
  return profile.save();
}

bool saveEditBoxes(const ControlModel& window, std::string& settingsPath, std::string_view excluded) {
  return saveKinds(window, settingsPath, excluded, putEditBoxes);
}

bool saveRadioButtons(const ControlModel& window, std::string& settingsPath, std::string_view excluded) {
  return saveKinds(window, settingsPath, excluded, putRadioButtons);
}

bool saveComboBoxes(const ControlModel& window, std::string& settingsPath, std::string_view excluded) {
  return saveKinds(window, settingsPath, excluded, putComboBoxes);
}

bool saveControlStates(const ControlModel& window, std::string& settingsPath, std::string_view excluded) {
  return saveKinds(window, settingsPath, excluded, putEditBoxes, putRadioButtons, putComboBoxes);
}

void restoreEditBoxes(ControlModel& window, std::string& settingsPath) {
  const IniProfile profile(resolvedPath(settingsPath));
  for (ControlId id : controlsOfKind(ControlKind::EditBox)) {
    const std::string stored = profile.value(kEditBoxSection, controlName(id));
    if (!stored.empty()) window.setText(id, decodeEditText(stored));
  }
}

void restoreRadioButtons(ControlModel& window, std::string& settingsPath) {
  const IniProfile profile(resolvedPath(settingsPath));
  for (ControlId id : controlsOfKind(ControlKind::RadioButton)) {
    const std::string stored = profile.value(kRadioButtonSection, controlName(id));
    if (!stored.empty()) window.setChecked(id, stored != kUncheckedValue);
  }
}

void restoreComboBoxes(ControlModel& window, std::string& settingsPath) {
  const IniProfile profile(resolvedPath(settingsPath));
  for (ControlId id : controlsOfKind(ControlKind::ComboBox)) {
    const std::string stored = profile.value(kComboBoxSection, controlName(id));
    if (stored.empty()) continue;
    ComboValue value = decodeComboValue(stored);
    window.clearItems(id);
    for (ComboItem& item : value.items) window.addItem(id, std::move(item));
    window.setCurrentIndex(id, value.index);
    window.setText(id, std::move(value.editText));
  }
}

}  // namespace vidralo
