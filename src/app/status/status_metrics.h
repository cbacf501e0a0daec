#pragma once
// /metrics in the Prometheus text format: the counters come from the
// history (so they survive restarts and only grow), the gauges from the run.
#include <cstdint>
#include <string>
#include <vector>

#include "app/status/status_snapshot.h"

namespace vidralo {

// What the metrics need of a snapshot, kept between snapshots instead of the
// whole snapshot.
struct MetricsFacts {
  struct Account {
    std::string id;
    bool loggedIn = true;
    double lastPublished = 0;  // seconds since the epoch; 0: none yet
  };
  std::vector<Account> accounts;
  std::vector<OutcomeCount> counts;
  bool jobRunning = false;
  int browsersRunning = 0;
};

// Takes the counts out of `snapshot`.
MetricsFacts metricsFacts(StatusSnapshot& snapshot);

std::string metricsText(const MetricsFacts& facts);

}  // namespace vidralo
