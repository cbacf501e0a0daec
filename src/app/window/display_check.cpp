#include "app/window/display_check.h"

#include <xcb/xcb.h>

#include <chrono>
#include <cstdlib>
#include <future>
#include <memory>
#include <string_view>
#include <thread>

namespace vidralo {
namespace {

// A live X server answers its connection set-up within milliseconds.
constexpr auto kDisplayAnswerLimit = std::chrono::seconds(2);

std::string_view environment(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

// xcb_connect waits without limit for a server that accepts the connection
// and never answers (a stopped X server), so it runs on a thread of its own
// that is left to finish by itself when the answer is late; the display then
// counts as gone.
bool xDisplayAnswers() {
  auto answer = std::make_shared<std::promise<bool>>();
  std::future<bool> answered = answer->get_future();
  std::thread([answer] {
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    const bool opened = xcb_connection_has_error(connection) == 0;
    xcb_disconnect(connection);
    answer->set_value(opened);
  }).detach();
  return answered.wait_for(kDisplayAnswerLimit) == std::future_status::ready && answered.get();
}

}  // namespace

bool displayAvailable() {
  const std::string_view platform = environment("QT_QPA_PLATFORM");
  if (!platform.empty() && !platform.starts_with("xcb") && !platform.starts_with("wayland")) return true;
  if (!environment("WAYLAND_DISPLAY").empty()) return true;
  if (environment("DISPLAY").empty()) return false;
  return xDisplayAnswers();
}

bool windowsSeen() {
  const std::string_view platform = environment("QT_QPA_PLATFORM");
  if (platform == "offscreen" || platform == "minimal") return false;
  return (std::getenv("DISPLAY") || std::getenv("WAYLAND_DISPLAY")) && displayAvailable();
}

}  // namespace vidralo
