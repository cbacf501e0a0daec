#include "history/history_store.h"

#include <sqlite3.h>
#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>
#include <SQLiteCpp/Transaction.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "common/clock.h"
#include "common/program_dir.h"
#include "common/stop.h"
#include "history/history_schema.h"
#include "log/date_time.h"

namespace vidralo {
namespace {

constexpr int kBusyRetries = 200;
constexpr auto kBusyPause = std::chrono::milliseconds(10);

// A reader that holds the file a moment (a status page starting a read)
// delays the commit by a few milliseconds at most; a stop ends the wait at
// once, so Stop never waits on the database.
int retryWhileBusy(void*, int attempts) {
  if (attempts >= kBusyRetries || stopRequested()) return 0;
  std::this_thread::sleep_for(kBusyPause);
  return 1;
}

bool isDamage(const SQLite::Exception& error) {
  const int code = error.getErrorCode() & 0xff;
  return code == SQLITE_CORRUPT || code == SQLITE_NOTADB;
}

bool pathExists(const std::string& path) {
  std::error_code error;
  return std::filesystem::exists(std::filesystem::symlink_status(path, error));
}

}  // namespace

std::string historyDatabasePath() { return programPath("\\data\\history.sqlite3"); }

HistoryStore::HistoryStore(std::string path) : path_(std::move(path)) {}

HistoryStore::~HistoryStore() { close(); }

std::string HistoryStore::lastError() const {
  std::lock_guard lock(mutex_);
  return lastError_;
}

std::string HistoryStore::movedAside() const {
  std::lock_guard lock(mutex_);
  return movedAside_;
}

bool HistoryStore::append(const HistoryRow& row) {
  std::lock_guard lock(mutex_);
  for (int attempt = 0; attempt < 2; ++attempt) {
    try {
      if (!database_ && !open()) return false;
      return insert(row);
    } catch (const SQLite::Exception& error) {
      lastError_ = error.what();
      close();
      // A damaged file is kept for whoever wants to look into it, and the
      // row goes into a new one; any other failure (a full disk, a read-only
      // folder) leaves the file alone and is tried again with the next row.
      if (!isDamage(error) || attempt > 0 || !moveAside()) return false;
    }
  }
  return false;
}

bool HistoryStore::open() {
  std::error_code ignored;
  std::filesystem::create_directories(std::filesystem::path(path_).parent_path(), ignored);
  database_ = std::make_unique<SQLite::Database>(path_, SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE);
  sqlite3_busy_handler(database_->getHandle(), retryWhileBusy, nullptr);
  database_->exec("PRAGMA journal_mode=WAL");
  // NORMAL in WAL mode: a commit is in the WAL file before append returns, so
  // it survives a crash or a kill of the program; only a power cut may lose
  // the latest rows, and the database stays consistent. The publication
  // journal, not the history, is what keeps a video from being published
  // twice, and it syncs each entry itself; a sync per history row would cost
  // one more disk flush per video for a record of what happened.
  database_->exec("PRAGMA synchronous=NORMAL");
  database_->exec(kHistorySchema);
  insert_ = std::make_unique<SQLite::Statement>(
      *database_, std::string("INSERT INTO history(") + kHistoryColumns + ") VALUES(?,?,?,?,?,?,?,?,?,?,?,?)");
  return true;
}

void HistoryStore::close() {
  insert_.reset();
  database_.reset();
}

bool HistoryStore::insert(const HistoryRow& row) {
  SQLite::Transaction transaction(*database_);
  SQLite::Statement& insert = *insert_;
  insert.reset();
  insert.bind(1, row.time);
  insert.bind(2, row.accountId);
  insert.bind(3, row.nickname);
  insert.bind(4, row.videoPath);
  insert.bind(5, static_cast<int64_t>(row.videoSize));
  insert.bind(6, static_cast<int64_t>(row.videoMtime));
  insert.bind(7, row.title);
  insert.bind(8, std::string(outcomeKey(row.outcome)));
  insert.bind(9, row.step);
  insert.bind(10, row.reason);
  insert.bind(11, row.evidencePath);
  insert.bind(12, static_cast<int64_t>(row.seconds));
  insert.exec();
  transaction.commit();
  return true;
}

bool HistoryStore::moveAside() {
  const std::string stamp = formatDateTime(appClock().wallNow(), "yyyy-MM-dd_HHmmss");
  std::string target = path_ + ".damaged-" + stamp;
  for (int n = 2; pathExists(target); ++n) target = path_ + ".damaged-" + stamp + "-" + std::to_string(n);
  std::error_code error;
  std::filesystem::rename(path_, target, error);
  if (error) {
    lastError_ += "；无法改名：" + error.message();
    return false;
  }
  // The old WAL must not be replayed into the new file.
  for (const char* suffix : {"-wal", "-shm"}) {
    std::error_code ignored;
    if (pathExists(path_ + suffix)) std::filesystem::rename(path_ + suffix, target + suffix, ignored);
  }
  movedAside_ = target;
  return true;
}

}  // namespace vidralo
