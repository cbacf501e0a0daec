#include "common/stop.h"

#include <utility>

namespace vidralo {
namespace {
thread_local std::stop_token threadToken;
}

StopScope::StopScope(std::stop_token token) : previous_(std::exchange(threadToken, std::move(token))) {}

StopScope::~StopScope() { threadToken = std::move(previous_); }

std::stop_token currentStopToken() { return threadToken; }

bool stopRequested() { return threadToken.stop_requested(); }

}  // namespace vidralo
