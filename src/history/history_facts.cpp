#include "history/history_facts.h"

#include <SQLiteCpp/SQLiteCpp.h>

#include <filesystem>
#include <memory>


namespace vidralo {
namespace {

constexpr const char* kColumns =
    "time, account_id, nickname, video_path, video_size, video_mtime, title, outcome, step, reason, evidence_path, seconds";

// A reader never waits long for the writer: the page shows the rows of the
// next refresh instead.
constexpr int kBusyTimeoutMs = 100;
// The reads scan the table once a second; SQLite's default 2 MB page cache
// would only add to the page's memory.
constexpr const char* kSmallCache = "PRAGMA cache_size = -256";

std::unique_ptr<SQLite::Database> openReadOnly(const std::string& path) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) return nullptr;
  auto database = std::make_unique<SQLite::Database>(path, SQLite::OPEN_READONLY);
  database->setBusyTimeout(kBusyTimeoutMs);
  database->exec(kSmallCache);
  return database;
}

HistoryRow rowOf(SQLite::Statement& query) {
  return HistoryRow{.time = query.getColumn(0).getString(),
                    .accountId = query.getColumn(1).getString(),
                    .nickname = query.getColumn(2).getString(),
                    .videoPath = query.getColumn(3).getString(),
                    .videoSize = query.getColumn(4).getInt64(),
                    .videoMtime = query.getColumn(5).getInt64(),
                    .title = query.getColumn(6).getString(),
                    .outcome = outcomeFromKey(query.getColumn(7).getString()).value_or(AttemptOutcome::Unknown),
                    .step = query.getColumn(8).getString(),
                    .reason = query.getColumn(9).getString(),
                    .evidencePath = query.getColumn(10).getString(),
                    .seconds = query.getColumn(11).getInt64()};
}

std::vector<HistoryRow> rows(SQLite::Statement& query) {
  std::vector<HistoryRow> result;
  while (query.executeStep()) result.push_back(rowOf(query));
  return result;
}

std::vector<LastEvent> lastPerAccount(SQLite::Database& database, const char* outcome) {
  SQLite::Statement query(database,
                          "SELECT account_id, time, title, step, reason, evidence_path FROM history WHERE id IN"
                          " (SELECT MAX(id) FROM history WHERE outcome = ?1 GROUP BY account_id)");
  query.bind(1, outcome);
  std::vector<LastEvent> events;
  while (query.executeStep())
    events.push_back({query.getColumn(0).getString(), query.getColumn(1).getString(), query.getColumn(2).getString(),
                      query.getColumn(3).getString(), query.getColumn(4).getString(), query.getColumn(5).getString()});
  return events;
}

}  // namespace

HistoryFacts readHistoryFacts(const std::string& databasePath, int latestCount) {
  HistoryFacts facts;
  try {
    const std::unique_ptr<SQLite::Database> database = openReadOnly(databasePath);
    if (!database) return facts;
    // One read transaction, so the four answers agree with each other.
    database->exec("BEGIN");
    SQLite::Statement latest(*database, std::string("SELECT ") + kColumns + " FROM history ORDER BY id DESC LIMIT ?1");
    latest.bind(1, latestCount);
    facts.latest = rows(latest);
    facts.lastPublished = lastPerAccount(*database, "published");
    facts.lastFailed = lastPerAccount(*database, "failed");
    SQLite::Statement counts(*database,
                             "SELECT account_id, outcome, step, COUNT(*) FROM history GROUP BY account_id, outcome, step");
    while (counts.executeStep())
      facts.counts.push_back({counts.getColumn(0).getString(), counts.getColumn(1).getString(),
                              counts.getColumn(2).getString(), counts.getColumn(3).getInt64()});
    database->exec("COMMIT");
  } catch (const SQLite::Exception&) {
    return HistoryFacts{};
  }
  return facts;
}

std::vector<HistoryRow> readNewestHistory(const std::string& databasePath, const std::string& account,
                                          const std::string& since, int limit) {
  try {
    const std::unique_ptr<SQLite::Database> database = openReadOnly(databasePath);
    if (!database) return {};
    SQLite::Statement query(*database, std::string("SELECT ") + kColumns +
                                           " FROM history WHERE (?1 = '' OR account_id = ?1) AND time >= ?2"
                                           " ORDER BY id DESC LIMIT ?3");
    query.bind(1, account);
    query.bind(2, since);
    query.bind(3, limit);
    return rows(query);
  } catch (const SQLite::Exception&) {
    return {};
  }
}

}  // namespace vidralo
