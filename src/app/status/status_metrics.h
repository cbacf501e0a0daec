#pragma once
// /metrics in the Prometheus text format: the counters come from the
// history (so they survive restarts and only grow), the gauges from the run.
#include <string>

#include "app/status/status_snapshot.h"

namespace vidralo {

std::string metricsText(const StatusSnapshot& snapshot);

}  // namespace vidralo
