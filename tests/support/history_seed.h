#pragma once
// Writes rows into a history database of the shared layout, as the job's
// history writer does, so the status page can be tested and measured on its
// own.
#include <SQLiteCpp/SQLiteCpp.h>

#include <filesystem>
#include <string>
#include <vector>

namespace vidralo::test {

struct SeedRow {
  std::string time;
  std::string accountId;
  std::string title;
  std::string outcome = "published";
  std::string step;
  std::string evidencePath;
};

inline void seedHistory(const std::string& path, const std::vector<SeedRow>& rows) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  SQLite::Database database(path, SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE);
  database.exec("PRAGMA journal_mode=WAL");
  database.exec(R"(CREATE TABLE IF NOT EXISTS history(
    id INTEGER PRIMARY KEY, time TEXT NOT NULL, account_id TEXT NOT NULL, nickname TEXT NOT NULL,
    video_path TEXT NOT NULL, video_size INTEGER NOT NULL, video_mtime INTEGER NOT NULL, title TEXT NOT NULL,
    outcome TEXT NOT NULL, step TEXT NOT NULL, reason TEXT NOT NULL, evidence_path TEXT NOT NULL,
    seconds INTEGER NOT NULL))");
  SQLite::Transaction transaction(database);
  for (const SeedRow& row : rows) {
    SQLite::Statement insert(database,
                             "INSERT INTO history(time, account_id, nickname, video_path, video_size, video_mtime, title,"
                             " outcome, step, reason, evidence_path, seconds) VALUES(?, ?, '', '/v/a.mp4', 10, 0, ?, ?, ?,"
                             " ?, ?, 3)");
    insert.bind(1, row.time);
    insert.bind(2, row.accountId);
    insert.bind(3, row.title);
    insert.bind(4, row.outcome);
    insert.bind(5, row.step);
    insert.bind(6, row.step.empty() ? "" : "步骤失败");
    insert.bind(7, row.evidencePath);
    insert.exec();
  }
  transaction.commit();
}

}  // namespace vidralo::test
