#include "automation/cdp/start_lock.h"

#include <condition_variable>
#include <mutex>
#include <thread>

#include "common/stop.h"

namespace vidralo::cdp {
namespace {

// A plain mutex cannot be given up on; this lock can, by a stop request.
// It lets its own thread in again: a start that keeps the window's messages
// flowing may meet a second start from that same thread (a log-in entry run
// on the window thread), which must not wait for the first for ever.
class StartLock {
 public:
  static StartLock& instance() {
    static StartLock lock;
    return lock;
  }

  bool acquire() {
    const std::thread::id self = std::this_thread::get_id();
    std::unique_lock lock(mutex_);
    if (depth_ > 0 && owner_ == self) {
      ++depth_;
      return true;
    }
    if (!free_.wait(lock, currentStopToken(), [this] { return depth_ == 0; })) return false;
    owner_ = self;
    depth_ = 1;
    return true;
  }

  void release() {
    {
      std::lock_guard lock(mutex_);
      if (--depth_ > 0) return;
      owner_ = {};
    }
    free_.notify_one();
  }

 private:
  std::mutex mutex_;
  std::condition_variable_any free_;
  std::thread::id owner_;
  int depth_ = 0;
};

}  // namespace

StartLockHeld::StartLockHeld() : held_(StartLock::instance().acquire()) {}

StartLockHeld::~StartLockHeld() {
  if (held_) StartLock::instance().release();
}

}  // namespace vidralo::cdp
