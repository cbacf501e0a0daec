#include "common/clock.h"

#include <atomic>
#include <ctime>

namespace vidralo {
namespace {

std::shared_ptr<const Clock>& installed() {
  static std::shared_ptr<const Clock> current = std::make_shared<SystemClock>();
  return current;
}

}  // namespace

std::int64_t SystemClock::tickMs() const {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

std::chrono::system_clock::time_point SystemClock::wallNow() const { return std::chrono::system_clock::now(); }

ScaledClock::ScaledClock(double factor, std::chrono::system_clock::time_point wallStart)
    : factor_(factor > 0 ? factor : 1.0), realStart_(std::chrono::steady_clock::now()), wallStart_(wallStart) {}

std::chrono::nanoseconds ScaledClock::elapsed() const {
  auto real = std::chrono::steady_clock::now() - realStart_;
  return std::chrono::nanoseconds(static_cast<std::int64_t>(static_cast<double>(real.count()) * factor_));
}

std::int64_t ScaledClock::tickMs() const {
  return 1'000'000 + std::chrono::duration_cast<std::chrono::milliseconds>(elapsed()).count();
}

std::chrono::system_clock::time_point ScaledClock::wallNow() const {
  return wallStart_ + std::chrono::duration_cast<std::chrono::system_clock::duration>(elapsed());
}

std::chrono::nanoseconds ScaledClock::realDuration(std::chrono::nanoseconds span) const {
  return std::chrono::nanoseconds(static_cast<std::int64_t>(static_cast<double>(span.count()) / factor_));
}

const Clock& appClock() { return *std::atomic_load(&installed()); }

std::shared_ptr<const Clock> setClock(std::shared_ptr<const Clock> replacement) {
  if (!replacement) replacement = std::make_shared<SystemClock>();
  return std::atomic_exchange(&installed(), std::move(replacement));
}

std::tm localNow() {
  std::time_t t = std::chrono::system_clock::to_time_t(appClock().wallNow());
  std::tm local{};
  localtime_r(&t, &local);
  return local;
}

}  // namespace vidralo
