#include "app/runtime/settings_listing.h"

#include "app/runtime/startup_controls.h"
#include "common/program_dir.h"
#include "common/text_rules.h"
#include "controls/control_info.h"
#include "settings/control_state_store.h"

namespace vidralo {
namespace {

constexpr const char* kHiddenValue = "******";

std::string kindText(ControlKind kind) {
  switch (kind) {
    case ControlKind::CheckBox: return "选择框（真/假）";
    case ControlKind::RadioButton: return "单选框（真/假）";
    case ControlKind::MultiLineEdit: return "多行编辑框";
    default: return "编辑框";
  }
}

bool settable(ControlKind kind) {
  return kind == ControlKind::CheckBox || kind == ControlKind::RadioButton || isEditBox(kind);
}

// One field of a line: its own line breaks and tabs would end the line or
// the field.
std::string field(const std::string& value) {
  return replaceAll(replaceAll(replaceAll(value, "\r\n", "\\n"), "\n", "\\n"), "\t", "\\t");
}

std::string valueText(const ControlModel& controls, ControlId id) {
  if (!isEditBox(controlInfo(id).kind)) return controls.checked(id) ? "真" : "假";
  const std::string text = controls.text(id);
  // The listing may end up in a terminal log; the password stays in its file.
  return id == ControlId::宽带_密码 && !text.empty() ? kHiddenValue : field(text);
}

}  // namespace

std::string settingsListing() {
  ControlModel defaults;
  ControlModel current;
  setStartUpDefaults(defaults);
  setStartUpDefaults(current);
  std::string settingsPath = programPath("\\data\\setsoft.ini");
  restoreEditBoxes(current, settingsPath);
  restoreRadioButtons(current, settingsPath);

  std::string listing = "名称\t类型\t默认值\t当前值\n";
  for (const ControlInfo& info : controlTable()) {
    if (!settable(info.kind)) continue;
    listing += std::string(info.name) + "\t" + kindText(info.kind) + "\t" + valueText(defaults, info.id) + "\t" +
               valueText(current, info.id) + "\n";
  }
  return listing;
}

}  // namespace vidralo
