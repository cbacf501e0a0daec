#include "automation/cdp/start_lock.h"

#include <condition_variable>
#include <mutex>

#include "common/stop.h"

namespace vidralo::cdp {
namespace {

// A plain mutex cannot be given up on; this lock can, by a stop request.
class StartLock {
 public:
  static StartLock& instance() {
    static StartLock lock;
    return lock;
  }

  bool acquire() {
    std::unique_lock lock(mutex_);
    if (!free_.wait(lock, currentStopToken(), [this] { return !busy_; })) return false;
    busy_ = true;
    return true;
  }

  void release() {
    {
      std::lock_guard lock(mutex_);
      busy_ = false;
    }
    free_.notify_one();
  }

 private:
  std::mutex mutex_;
  std::condition_variable_any free_;
  bool busy_ = false;
};

}  // namespace

StartLockHeld::StartLockHeld() : held_(StartLock::instance().acquire()) {}

StartLockHeld::~StartLockHeld() {
  if (held_) StartLock::instance().release();
}

}  // namespace vidralo::cdp
