#pragma once
// The writer of the history database "\data\history.sqlite3": one row per
// attempt, each in a transaction of its own, committed before append
// returns. WAL journal mode, so that readers (the --history listing, a status
// page) never block the job. A file that is not a database, or is damaged, is
// moved aside with the date and time in its name and a new one is started.
#include <memory>
#include <mutex>
#include <string>

#include "history/history_row.h"

namespace SQLite {
class Database;
class Statement;
}  // namespace SQLite

namespace vidralo {

// The program directory's history database.
std::string historyDatabasePath();

class HistoryStore {
 public:
  explicit HistoryStore(std::string path);
  ~HistoryStore();
  HistoryStore(const HistoryStore&) = delete;
  HistoryStore& operator=(const HistoryStore&) = delete;

  // Writes the row; false when it could not be written (lastError says why).
  // The file is opened, or created with its folder, on first use, and again
  // after a failure.
  bool append(const HistoryRow& row);

  const std::string& path() const { return path_; }
  std::string lastError() const;
  // Where the latest damaged file went; empty when none was moved aside.
  std::string movedAside() const;

 private:
  bool open();
  void close();
  bool insert(const HistoryRow& row);
  // Moves the damaged file (and its WAL and shared-memory files) aside.
  bool moveAside();

  const std::string path_;
  mutable std::mutex mutex_;
  std::unique_ptr<SQLite::Database> database_;
  std::unique_ptr<SQLite::Statement> insert_;
  std::string lastError_;
  std::string movedAside_;
};

}  // namespace vidralo
