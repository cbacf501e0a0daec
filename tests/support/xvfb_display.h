#pragma once
// A virtual X server of the test's own, for tests that need a visible
// browser on a machine without a desktop. While it lives, DISPLAY names it;
// afterwards DISPLAY is what it was and the server has ended.
#include <sys/types.h>

#include <optional>
#include <string>

namespace vidralo::test {

class XvfbDisplay {
 public:
  // Starts Xvfb on a free display number; running() is false when Xvfb is
  // not installed or did not come up.
  XvfbDisplay();
  ~XvfbDisplay();
  XvfbDisplay(const XvfbDisplay&) = delete;
  XvfbDisplay& operator=(const XvfbDisplay&) = delete;

  bool running() const { return pid_ > 0; }

 private:
  pid_t pid_ = -1;
  std::optional<std::string> previousDisplay_;
};

}  // namespace vidralo::test
