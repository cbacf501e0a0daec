#pragma once
// Reading the history database, read-only, beside a job that writes it.
#include <functional>
#include <map>
#include <string>

#include "history/history_row.h"

namespace vidralo {

struct HistoryFilter {
  std::string accountId;  // empty: every account
  std::string since;      // "yyyy-MM-dd": rows of that day and later; empty: all
};

enum class HistoryRead { Read, Missing, Unreadable };

// Calls `each` for every row that passes `filter`, oldest first. Missing: no
// database yet. Unreadable: `error` says why.
HistoryRead readHistory(const std::string& path, const HistoryFilter& filter,
                        const std::function<void(const HistoryRow&)>& each, std::string& error);

// How many videos each account published on `day` ("yyyy-MM-dd"); empty
// when there is no readable database.
std::map<std::string, int> publishedCountsOn(const std::string& path, const std::string& day);

}  // namespace vidralo
