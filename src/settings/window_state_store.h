#pragma once
// The main window's size and the account list's column widths, kept in the
// settings file beside the control values, in a section of their own
// ("窗口"). A value that is missing, damaged or out of range (a file from
// another program, an edit by hand) reads as nothing, and the window keeps
// its default for that part.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vidralo {

inline constexpr std::string_view kWindowSection = "窗口";

struct WindowSize {
  int width = 0;
  int height = 0;
  bool maximised = false;
};

struct WindowState {
  // The size of the window when not maximised.
  std::optional<WindowSize> size;
  // One width per column of the account list.
  std::optional<std::vector<int>> columnWidths;
};

// `minimum`: the smallest size the window takes; smaller stored sizes are
// not the window's. `columns`: how many widths make a usable list.
WindowState readWindowState(const std::string& settingsPath, int minimumWidth, int minimumHeight, int columns);

// True when the file holds the state afterwards; other sections stay as
// they were.
bool saveWindowState(const std::string& settingsPath, const WindowSize& size, const std::vector<int>& columnWidths);

}  // namespace vidralo
