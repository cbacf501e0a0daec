#include "history/history_reader.h"

#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>

#include <filesystem>

#include "history/history_schema.h"

namespace vidralo {
namespace {

constexpr int kReadBusyTimeoutMs = 2000;

SQLite::Database openForReading(const std::string& path) {
  return SQLite::Database(path, SQLite::OPEN_READONLY, kReadBusyTimeoutMs);
}

HistoryRow rowOf(SQLite::Statement& query) {
  HistoryRow row;
  row.time = query.getColumn(0).getString();
  row.accountId = query.getColumn(1).getString();
  row.nickname = query.getColumn(2).getString();
  row.videoPath = query.getColumn(3).getString();
  row.videoSize = query.getColumn(4).getInt64();
  row.videoMtime = query.getColumn(5).getInt64();
  row.title = query.getColumn(6).getString();
  // A word this program does not know (a newer writer) reads as unknown.
  row.outcome = outcomeFromKey(query.getColumn(7).getString()).value_or(AttemptOutcome::Unknown);
  row.step = query.getColumn(8).getString();
  row.reason = query.getColumn(9).getString();
  row.evidencePath = query.getColumn(10).getString();
  row.seconds = query.getColumn(11).getInt64();
  return row;
}

}  // namespace

HistoryRead readHistory(const std::string& path, const HistoryFilter& filter,
                        const std::function<void(const HistoryRow&)>& each, std::string& error) {
  std::error_code ignored;
  if (!std::filesystem::exists(path, ignored)) return HistoryRead::Missing;
  try {
    SQLite::Database database = openForReading(path);
    // Each filter has its own condition, so that the index on (account_id,
    // time) or on time serves it and returns the rows already in order.
    std::string sql = std::string("SELECT ") + kHistoryColumns + " FROM history WHERE time >= ?1";
    if (!filter.accountId.empty()) sql += " AND account_id = ?2";
    sql += " ORDER BY time, id";
    SQLite::Statement query(database, sql);
    query.bind(1, filter.since);
    if (!filter.accountId.empty()) query.bind(2, filter.accountId);
    while (query.executeStep()) each(rowOf(query));
    return HistoryRead::Read;
  } catch (const SQLite::Exception& failure) {
    error = failure.what();
    return HistoryRead::Unreadable;
  }
}

std::map<std::string, int> publishedCountsOn(const std::string& path, const std::string& day) {
  std::map<std::string, int> counts;
  std::error_code ignored;
  if (!std::filesystem::exists(path, ignored)) return counts;
  try {
    SQLite::Database database = openForReading(path);
    SQLite::Statement query(database,
                            "SELECT account_id, COUNT(*) FROM history WHERE time BETWEEN ?1 || ' 00:00:00' AND "
                            "?1 || ' 23:59:59' AND outcome = 'published' GROUP BY account_id");
    query.bind(1, day);
    while (query.executeStep()) counts[query.getColumn(0).getString()] = query.getColumn(1).getInt();
  } catch (const SQLite::Exception&) {
    // A damaged file is moved aside by the next write; the counts start at 0.
    counts.clear();
  }
  return counts;
}

}  // namespace vidralo
