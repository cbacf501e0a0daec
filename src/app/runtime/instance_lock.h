#pragma once
// One program directory, one running program: two instances (a window and a
// headless cron job, say) would share browsers and count each other's
// publications. The lock is an flock on "vidralo.lock" in the directory,
// which also names the holder's process id; the kernel releases it when the
// process ends, however it ends.
#include <sys/types.h>

#include <chrono>
#include <string>

namespace vidralo {

class InstanceLock {
 public:
  // Takes the lock of `directory`, waiting up to `patience` for a holder that
  // is ending (a restart, an update) to let go.
  InstanceLock(const std::string& directory, std::chrono::milliseconds patience);
  ~InstanceLock();
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;

  bool held() const { return fd_ >= 0; }
  // The process that holds the lock when this one could not take it; 0 when
  // it cannot be told.
  pid_t holder() const { return holder_; }

 private:
  int fd_ = -1;
  pid_t holder_ = 0;
};

// The text a second instance prints.
std::string anotherInstanceText(const std::string& directory, pid_t holder);

}  // namespace vidralo
