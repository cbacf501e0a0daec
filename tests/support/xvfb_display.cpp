#include "support/xvfb_display.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace vidralo::test {
namespace {

constexpr const char* kXvfb = "/usr/bin/Xvfb";
constexpr int kStartLimitMs = 10000;

// The display number Xvfb writes to `fd` once it accepts connections.
std::string readDisplayNumber(int fd) {
  std::string number;
  pollfd wait{fd, POLLIN, 0};
  while (::poll(&wait, 1, kStartLimitMs) > 0) {
    char c = 0;
    if (::read(fd, &c, 1) != 1 || c == '\n') break;
    number += c;
  }
  return number;
}

void endServer(pid_t pid) {
  ::kill(pid, SIGTERM);
  ::waitpid(pid, nullptr, 0);
}

}  // namespace

XvfbDisplay::XvfbDisplay() {
  if (::access(kXvfb, X_OK) != 0) return;
  int pipeFds[2];
  if (::pipe2(pipeFds, O_CLOEXEC) != 0) return;
  const pid_t child = ::fork();
  if (child == 0) {
    // -displayfd: Xvfb picks a free display itself and reports it.
    ::dup2(pipeFds[1], 3);
    const int devNull = ::open("/dev/null", O_WRONLY);
    ::dup2(devNull, 1);
    ::dup2(devNull, 2);
    ::execl(kXvfb, kXvfb, "-displayfd", "3", "-screen", "0", "1920x1080x24", "-nolisten", "tcp", nullptr);
    ::_exit(127);
  }
  ::close(pipeFds[1]);
  const std::string number = child > 0 ? readDisplayNumber(pipeFds[0]) : std::string();
  ::close(pipeFds[0]);
  if (child <= 0) return;
  if (number.empty()) {
    endServer(child);
    return;
  }
  pid_ = child;
  if (const char* display = std::getenv("DISPLAY")) previousDisplay_ = display;
  ::setenv("DISPLAY", (":" + number).c_str(), 1);
}

XvfbDisplay::~XvfbDisplay() {
  if (pid_ <= 0) return;
  endServer(pid_);
  if (previousDisplay_) ::setenv("DISPLAY", previousDisplay_->c_str(), 1);
  else ::unsetenv("DISPLAY");
}

}  // namespace vidralo::test
