#include "controls/control_spec.h"

#include <array>

namespace vidralo {
namespace {

constexpr std::array kControls{
#define VIDRALO_CONTROL_SPEC(name, kind, parent, caption, initial) \
  ControlSpec{ControlId::name, #name, ControlKind::kind, #parent, caption, initial},
    VIDRALO_CONTROL_TABLE(VIDRALO_CONTROL_SPEC)
#undef VIDRALO_CONTROL_SPEC
};

constexpr std::array kColumns{
#define VIDRALO_COLUMN_SPEC(title, width) ColumnSpec{#title, width},
    VIDRALO_ACCOUNT_COLUMNS(VIDRALO_COLUMN_SPEC)
#undef VIDRALO_COLUMN_SPEC
};

static_assert(kColumns.size() == kColumnCount);

}  // namespace

std::span<const ControlSpec> controlTable() { return kControls; }

const ControlSpec& controlSpec(ControlId id) { return kControls[static_cast<std::size_t>(id)]; }

std::string_view controlName(ControlId id) { return controlSpec(id).name; }

std::optional<ControlId> findControl(std::string_view name) {
  for (const ControlSpec& spec : kControls)
    if (spec.name == name) return spec.id;
  return std::nullopt;
}

bool isEditBox(ControlKind kind) { return kind == ControlKind::EditBox || kind == ControlKind::MultiLineEdit; }

std::vector<ControlId> controlsOfKind(ControlKind kind) {
  std::vector<ControlId> ids;
  for (const ControlSpec& spec : kControls)
    if (spec.kind == kind || (kind == ControlKind::EditBox && isEditBox(spec.kind))) ids.push_back(spec.id);
  return ids;
}

std::vector<ControlId> tabPages(ControlId tabControl) {
  std::vector<ControlId> pages;
  for (const ControlSpec& spec : kControls)
    if (spec.kind == ControlKind::TabPage && spec.parent == controlName(tabControl)) pages.push_back(spec.id);
  return pages;
}

std::span<const ColumnSpec> accountColumns() { return kColumns; }

}  // namespace vidralo
