#include "app/runtime/instance_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdlib>
#include <thread>

#include "log/file_replace.h"

namespace vidralo {
namespace {

constexpr std::chrono::milliseconds kRetryPause{100};

pid_t pidIn(int fd) {
  char text[32] = {};
  const ssize_t got = ::pread(fd, text, sizeof text - 1, 0);
  return got > 0 ? static_cast<pid_t>(std::atoi(text)) : 0;
}

}  // namespace

InstanceLock::InstanceLock(const std::string& directory, std::chrono::milliseconds patience) {
  // Close-on-exec: browsers and restart scripts outlive the program and must
  // not keep its lock.
  const int fd = ::open((directory + "/vidralo.lock").c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) return;
  const auto deadline = std::chrono::steady_clock::now() + patience;
  while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if (std::chrono::steady_clock::now() >= deadline) {
      holder_ = pidIn(fd);
      ::close(fd);
      return;
    }
    std::this_thread::sleep_for(kRetryPause);
  }
  const std::string pid = std::to_string(::getpid()) + "\n";
  if (::ftruncate(fd, 0) == 0) writeAllBytes(fd, pid);
  fd_ = fd;
}

InstanceLock::~InstanceLock() {
  if (fd_ >= 0) ::close(fd_);
}

std::string anotherInstanceText(const std::string& directory, pid_t holder) {
  return "程序目录 " + directory + " 正由另一个 Vidralo 进程使用" +
         (holder > 0 ? "（进程号 " + std::to_string(holder) + "）" : std::string()) + "，本次不运行";
}

}  // namespace vidralo
