#include "settings/window_state_store.h"

#include <charconv>

#include "settings/ini_profile.h"

namespace vidralo {
namespace {

constexpr std::string_view kWidthKey = "宽度";
constexpr std::string_view kHeightKey = "高度";
constexpr std::string_view kMaximisedKey = "最大化";
constexpr std::string_view kColumnsKey = "列宽";
constexpr int kLargestSide = 16384;
constexpr int kNarrowestColumn = 8;
constexpr int kWidestColumn = 4000;

// Only plain decimal digits in range count: "1200px", "-5" or "" are damage.
std::optional<int> strictNumber(std::string_view text, int low, int high) {
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || text.front() == '-' || error != std::errc() || end != text.data() + text.size()) return {};
  if (value < low || value > high) return {};
  return value;
}

std::optional<std::vector<int>> columnWidths(std::string_view text, int columns) {
  std::vector<int> widths;
  while (true) {
    const std::size_t comma = text.find(',');
    const auto width = strictNumber(text.substr(0, comma), kNarrowestColumn, kWidestColumn);
    if (!width) return {};
    widths.push_back(*width);
    if (comma == std::string_view::npos) break;
    text.remove_prefix(comma + 1);
  }
  if (static_cast<int>(widths.size()) != columns) return {};
  return widths;
}

}  // namespace

WindowState readWindowState(const std::string& settingsPath, int minimumWidth, int minimumHeight, int columns) {
  const IniProfile profile(settingsPath);
  WindowState state;
  const auto width = strictNumber(profile.value(kWindowSection, kWidthKey), minimumWidth, kLargestSide);
  const auto height = strictNumber(profile.value(kWindowSection, kHeightKey), minimumHeight, kLargestSide);
  if (width && height) state.size = WindowSize{*width, *height, profile.value(kWindowSection, kMaximisedKey) == "真"};
  state.columnWidths = columnWidths(profile.value(kWindowSection, kColumnsKey), columns);
  return state;
}

bool saveWindowState(const std::string& settingsPath, const WindowSize& size, const std::vector<int>& columnWidths) {
  std::string widths;
  for (int width : columnWidths) widths += (widths.empty() ? "" : ",") + std::to_string(width);
  IniProfile profile(settingsPath);
  profile.setValue(kWindowSection, kWidthKey, std::to_string(size.width));
  profile.setValue(kWindowSection, kHeightKey, std::to_string(size.height));
  profile.setValue(kWindowSection, kMaximisedKey, size.maximised ? "真" : "假");
  profile.setValue(kWindowSection, kColumnsKey, widths);
  return profile.save();
}

}  // namespace vidralo
