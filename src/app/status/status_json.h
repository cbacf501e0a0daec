#pragma once
// The JSON answers of /api/status and /api/history (UTF-8).
#include <string>
#include <vector>

#include "app/status/status_snapshot.h"

namespace vidralo {

std::string statusJson(const StatusSnapshot& snapshot);
std::string historyJson(const std::vector<HistoryRow>& rows);

// The address under which the page serves a failure's evidence file; empty
// when there is none.
std::string evidenceLink(const std::string& evidencePath);

}  // namespace vidralo
