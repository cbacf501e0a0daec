#pragma once
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "controls/control_ids.h"

namespace vidralo {

struct ControlInfo {
  ControlId id;
  std::string_view name;
  ControlKind kind;
  std::string_view parent;   // the page or group box, "主窗口" for the window itself
  std::string_view caption;  // blanks exactly as the window shows them
  std::string_view initial;  // first-run text, or "真"/"假" for check and radio
};

struct ColumnInfo {
  std::string_view title;
  int width;
};

std::span<const ControlInfo> controlTable();
const ControlInfo& controlInfo(ControlId id);
std::string_view controlName(ControlId id);
std::optional<ControlId> findControl(std::string_view name);

// The controls of one kind in the window's control order. EditBox includes the
// multi-line edit boxes.
std::vector<ControlId> controlsOfKind(ControlKind kind);

// The pages of a tab control, in order.
std::vector<ControlId> tabPages(ControlId tabControl);

std::span<const ColumnInfo> accountColumns();

bool isEditBox(ControlKind kind);

// The parent named by controls that sit directly on the main window.
inline constexpr std::string_view kMainWindowParent = "主窗口";

}  // namespace vidralo
