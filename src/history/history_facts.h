#pragma once
// What a status page reads of the history, read-only and newest first. The
// file belongs to the job's writer; a missing or unreadable file reads as no
// rows, and WAL mode lets these reads run beside the writer without blocking
// it.
#include <cstdint>
#include <string>
#include <vector>

#include "history/history_row.h"

namespace vidralo {

// An account's last publication or failure: what its row on the page shows.
struct LastEvent {
  std::string accountId;
  std::string time;
  std::string title;
  std::string step;
  std::string reason;
  std::string evidencePath;
};

struct OutcomeCount {
  std::string accountId;
  std::string outcome;
  std::string step;
  std::int64_t count = 0;
};

struct HistoryFacts {
  std::vector<HistoryRow> latest;          // newest first
  std::vector<LastEvent> lastPublished;    // one per account (a snapshot moves them to its accounts)
  std::vector<LastEvent> lastFailed;       // one per account (likewise)
  std::vector<OutcomeCount> counts;        // per account, outcome and step
};

// What the status page shows; `latestCount` rows of the newest.
HistoryFacts readHistoryFacts(const std::string& databasePath, int latestCount);

// Rows newest first, of one account (empty: all) from `since` on (a time text
// as stored; empty: from the start), at most `limit`.
std::vector<HistoryRow> readNewestHistory(const std::string& databasePath, const std::string& account,
                                          const std::string& since, int limit);

}  // namespace vidralo
