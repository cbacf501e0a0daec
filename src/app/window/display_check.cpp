#include "app/window/display_check.h"

#include <xcb/xcb.h>

#include <cstdlib>
#include <string_view>

namespace vidralo {
namespace {

std::string_view environment(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

}  // namespace

bool displayAvailable() {
  const std::string_view platform = environment("QT_QPA_PLATFORM");
  if (!platform.empty() && !platform.starts_with("xcb") && !platform.starts_with("wayland")) return true;
  if (!environment("WAYLAND_DISPLAY").empty()) return true;
  if (environment("DISPLAY").empty()) return false;
  xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
  const bool opened = xcb_connection_has_error(connection) == 0;
  xcb_disconnect(connection);
  return opened;
}

bool windowsSeen() {
  const std::string_view platform = environment("QT_QPA_PLATFORM");
  if (platform == "offscreen" || platform == "minimal") return false;
  return (std::getenv("DISPLAY") || std::getenv("WAYLAND_DISPLAY")) && displayAvailable();
}

}  // namespace vidralo
