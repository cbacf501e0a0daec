#pragma once
// The process-wide lock around every browser start: two starts at once would
// race for the same profile and for the user's screen.
namespace vidralo::cdp {

// Holds the lock for its lifetime; the thread that holds it may take it
// again (a nested start). A thread whose stop is requested gives up waiting
// for it; the guard then reads as false and holds nothing.
class StartLockHeld {
 public:
  StartLockHeld();
  ~StartLockHeld();
  StartLockHeld(const StartLockHeld&) = delete;
  StartLockHeld& operator=(const StartLockHeld&) = delete;
  explicit operator bool() const { return held_; }

 private:
  bool held_;
};

}  // namespace vidralo::cdp
