#pragma once
// Writes rows into a history database through the job's own history writer,
// so the status page can be tested and measured on its own.
#include <string>
#include <vector>

#include "history/history_store.h"

namespace vidralo::test {

struct SeedRow {
  std::string time;
  std::string accountId;
  std::string title;
  AttemptOutcome outcome = AttemptOutcome::Published;
  std::string step;
  std::string evidencePath;
};

inline void seedHistory(const std::string& path, const std::vector<SeedRow>& rows) {
  HistoryStore store(path);
  for (const SeedRow& row : rows)
    store.append({.time = row.time,
                  .accountId = row.accountId,
                  .videoPath = "/v/a.mp4",
                  .videoSize = 10,
                  .title = row.title,
                  .outcome = row.outcome,
                  .step = row.step,
                  .reason = row.step.empty() ? "" : "步骤失败",
                  .evidencePath = row.evidencePath,
                  .seconds = 3});
}

}  // namespace vidralo::test
