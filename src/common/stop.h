#pragma once
// Cooperative stop. A worker thread installs its stop token with StopScope;
// every PumpedWait and every engine call made on that thread returns as soon
// as a stop is requested, so Stop never has to kill a thread.
#include <stop_token>

namespace vidralo {

class StopScope {
 public:
  explicit StopScope(std::stop_token token);
  ~StopScope();
  StopScope(const StopScope&) = delete;
  StopScope& operator=(const StopScope&) = delete;

 private:
  std::stop_token previous_;
};

// The token of the calling thread (an empty token that never stops when the
// thread installed none).
std::stop_token currentStopToken();

bool stopRequested();

}  // namespace vidralo
