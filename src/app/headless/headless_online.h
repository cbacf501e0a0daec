#pragma once
// The start window's start sequence for a run without a window: the run-log
// lines, the fault reporter, the disclaimer printed while it was never
// accepted, once per program directory (nothing is asked; "\data\disclaimer-shown"
// remembers that it was printed), and the version check
// on a thread of its own, written to the run log and printed as one line. A
// newer version is announced, never downloaded or started.
#include <chrono>
#include <cstdio>
#include <future>
#include <thread>

namespace vidralo {

// The version check's thread. Going away, it gives the check a few seconds
// to print its line, then stops its request and joins it: a mirror that
// never answers holds no end of the run up.
class VersionCheck {
 public:
  static constexpr std::chrono::seconds kGrace{3};

  explicit VersionCheck(std::FILE* out);
  ~VersionCheck();
  VersionCheck(VersionCheck&&) = default;
  VersionCheck& operator=(VersionCheck&&) = delete;

 private:
  std::future<void> finished_;
  std::jthread thread_;
};

VersionCheck startHeadlessOnlineSteps(std::FILE* out, std::FILE* messages);

}  // namespace vidralo
