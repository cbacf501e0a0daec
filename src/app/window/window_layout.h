#pragma once
// Where the main window's controls sit. Positions are relative to the parent
// the control table names (the client area, a tab page or a group box).
#include <QRect>
#include <QString>
#include <optional>
#include <span>

#include "controls/control_ids.h"

class QFontMetrics;

namespace vidralo {

inline constexpr QSize kMainWindowOuterSize{1026, 570};

// Every control but the timer, the status bar and the tab pages has one.
std::optional<QRect> controlGeometry(ControlId id);

// An edit box that fills a run of blanks in another control's caption.
struct GapEdit {
  ControlId edit;
  ControlId host;
  int gap;  // zero-based among the caption's runs of blanks
};
std::span<const GapEdit> gapEdits();

// The horizontal extent [left, right) of the `gap`-th run of blanks (three or
// more) in `caption` when drawn from x = 0; nothing when there is no such run.
std::optional<std::pair<int, int>> blankRun(const QString& caption, int gap, const QFontMetrics& metrics);

}  // namespace vidralo
