#include "controls/control_info.h"

#include <array>

namespace vidralo {
namespace {

constexpr std::array kControls{
#define VIDRALO_CONTROL_INFO(name, kind, parent, caption, initial) \
  ControlInfo{ControlId::name, #name, ControlKind::kind, #parent, caption, initial},
    VIDRALO_CONTROL_TABLE(VIDRALO_CONTROL_INFO)
#undef VIDRALO_CONTROL_INFO
};

constexpr std::array kColumns{
#define VIDRALO_COLUMN_INFO(title, width) ColumnInfo{#title, width},
    VIDRALO_ACCOUNT_COLUMNS(VIDRALO_COLUMN_INFO)
#undef VIDRALO_COLUMN_INFO
};

static_assert(kColumns.size() == kColumnCount);

}  // namespace

std::span<const ControlInfo> controlTable() { return kControls; }

const ControlInfo& controlInfo(ControlId id) { return kControls[static_cast<std::size_t>(id)]; }

std::string_view controlName(ControlId id) { return controlInfo(id).name; }

std::optional<ControlId> findControl(std::string_view name) {
  for (const ControlInfo& info : kControls)
    if (info.name == name) return info.id;
  return std::nullopt;
}

bool isEditBox(ControlKind kind) { return kind == ControlKind::EditBox || kind == ControlKind::MultiLineEdit; }

std::vector<ControlId> controlsOfKind(ControlKind kind) {
  std::vector<ControlId> ids;
  for (const ControlInfo& info : kControls)
    if (info.kind == kind || (kind == ControlKind::EditBox && isEditBox(info.kind))) ids.push_back(info.id);
  return ids;
}

std::vector<ControlId> tabPages(ControlId tabControl) {
  std::vector<ControlId> pages;
  for (const ControlInfo& info : kControls)
    if (info.kind == ControlKind::TabPage && info.parent == controlName(tabControl)) pages.push_back(info.id);
  return pages;
}

std::span<const ColumnInfo> accountColumns() { return kColumns; }

}  // namespace vidralo
