#pragma once
// The program's one source of time. Tests install a ScaledClock so that waits
// of minutes or hours pass in milliseconds while every thread still sees one
// consistent timeline.
#include <chrono>
#include <cstdint>
#include <memory>

namespace vidralo {

class Clock {
 public:
  virtual ~Clock() = default;
  // Milliseconds since an arbitrary start, never going back (GetTickCount64).
  virtual std::int64_t tickMs() const = 0;
  // The wall-clock time, for day files and forbidden hours.
  virtual std::chrono::system_clock::time_point wallNow() const = 0;
  // How much real time passes while this clock advances by `span`.
  virtual std::chrono::nanoseconds realDuration(std::chrono::nanoseconds span) const = 0;
};

class SystemClock final : public Clock {
 public:
  std::int64_t tickMs() const override;
  std::chrono::system_clock::time_point wallNow() const override;
  std::chrono::nanoseconds realDuration(std::chrono::nanoseconds span) const override { return span; }
};

// Time that runs `factor` times faster than real time, starting at `wallStart`.
class ScaledClock final : public Clock {
 public:
  ScaledClock(double factor, std::chrono::system_clock::time_point wallStart);
  std::int64_t tickMs() const override;
  std::chrono::system_clock::time_point wallNow() const override;
  std::chrono::nanoseconds realDuration(std::chrono::nanoseconds span) const override;

 private:
  std::chrono::nanoseconds elapsed() const;
  double factor_;
  std::chrono::steady_clock::time_point realStart_;
  std::chrono::system_clock::time_point wallStart_;
};

const Clock& appClock();

// Installs `replacement` (nullptr: the system clock) and returns the previous
// one. Meant for tests and benchmarks, before the threads that use it start.
std::shared_ptr<const Clock> setClock(std::shared_ptr<const Clock> replacement);

// The local time of appClock().wallNow(), broken down.
std::tm localNow();

}  // namespace vidralo
