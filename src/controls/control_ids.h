#pragma once
// Identifiers of the main window's controls and of the account list's
// columns, generated from the control table so that names are spelled once.
#include "controls/control_table.h"

namespace vidralo {

enum class ControlId : int {
#define VIDRALO_CONTROL_ID(name, kind, parent, caption, initial) name,
  VIDRALO_CONTROL_TABLE(VIDRALO_CONTROL_ID)
#undef VIDRALO_CONTROL_ID
};

enum class ControlKind {
  Button,
  TabControl,
  TabPage,
  GroupBox,
  Label,
  EditBox,
  MultiLineEdit,
  CheckBox,
  RadioButton,
  ComboBox,
  ListView,
  StatusBar,
  Timer,
};

// Column indexes of 超级列表框1 (zero-based, as the cells are addressed).
enum Column : int {
#define VIDRALO_COLUMN_ID(title, width) 列_##title,
  VIDRALO_ACCOUNT_COLUMNS(VIDRALO_COLUMN_ID)
#undef VIDRALO_COLUMN_ID
  kColumnCount
};

inline constexpr int kStatusBarParts = 4;

}  // namespace vidralo
