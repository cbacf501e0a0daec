#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>

#include "common/clock.h"
#include "history/history_listing.h"
#include "history/history_reader.h"
#include "history/history_store.h"
#include "log/date_time.h"
#include "support/small_tmpfs.h"
#include "support/temp_dir.h"

namespace vidralo {
namespace {

HistoryRow rowAt(std::string time, std::string account, AttemptOutcome outcome) {
  HistoryRow row;
  row.time = std::move(time);
  row.accountId = std::move(account);
  row.nickname = "昵称" + row.accountId;
  row.videoPath = "/videos/" + row.accountId + "/a.mp4";
  row.videoSize = 1234567890123;
  row.videoMtime = 1765270000;
  row.title = "标题";
  row.outcome = outcome;
  row.seconds = 42;
  return row;
}

std::vector<HistoryRow> readAll(const std::string& path, const HistoryFilter& filter = {}) {
  std::vector<HistoryRow> rows;
  std::string error;
  EXPECT_EQ(readHistory(path, filter, [&](const HistoryRow& row) { rows.push_back(row); }, error), HistoryRead::Read)
      << error;
  return rows;
}

std::vector<std::string> timesOf(const std::vector<HistoryRow>& rows) {
  std::vector<std::string> times;
  for (const HistoryRow& row : rows) times.push_back(row.time + " " + row.accountId);
  return times;
}

std::string queryText(const std::string& path, const char* sql) {
  sqlite3* db = nullptr;
  std::string text;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
    sqlite3_exec(
        db, sql,
        [](void* out, int columns, char** values, char**) {
          for (int i = 0; i < columns; ++i) *static_cast<std::string*>(out) += std::string(values[i] ? values[i] : "") + ";";
          return 0;
        },
        &text, nullptr);
  }
  sqlite3_close(db);
  return text;
}

TEST(HistoryStore, EveryOutcomeComesBackFilteredAndOldestFirst) {
  test::TempDir dir;
  const std::string path = dir.file("data/history.sqlite3");
  HistoryStore store(path);
  const std::vector<AttemptOutcome> outcomes{AttemptOutcome::Published,   AttemptOutcome::Failed,
                                             AttemptOutcome::NotLoggedIn, AttemptOutcome::PageNotReady,
                                             AttemptOutcome::Skipped,     AttemptOutcome::Unknown};
  // Written out of order: the listing sorts by time.
  for (std::size_t i = 0; i < outcomes.size(); ++i) {
    HistoryRow row = rowAt("2026-12-0" + std::to_string(9 - i) + " 10:00:00", i % 2 ? "502" : "501", outcomes[i]);
    row.step = i == 1 ? "waitUploadComplete" : "";
    row.reason = i == 1 ? "超过放弃秒" : "";
    row.evidencePath = i == 1 ? "/logs/failures/x.txt" : "";
    ASSERT_TRUE(store.append(row)) << store.lastError();
  }

  const std::vector<HistoryRow> all = readAll(path);
  ASSERT_EQ(all.size(), outcomes.size());
  for (std::size_t i = 0; i < all.size(); ++i) EXPECT_EQ(all[i].outcome, outcomes[outcomes.size() - 1 - i]);
  const HistoryRow& failed = all[outcomes.size() - 2];
  EXPECT_EQ(failed.step, "waitUploadComplete");
  EXPECT_EQ(failed.reason, "超过放弃秒");
  EXPECT_EQ(failed.evidencePath, "/logs/failures/x.txt");
  EXPECT_EQ(failed.nickname, "昵称502");
  EXPECT_EQ(failed.videoSize, 1234567890123);
  EXPECT_EQ(failed.seconds, 42);

  EXPECT_EQ(timesOf(readAll(path, {"501", "2026-12-05"})),
            (std::vector<std::string>{"2026-12-05 10:00:00 501", "2026-12-07 10:00:00 501", "2026-12-09 10:00:00 501"}));
  EXPECT_EQ(timesOf(readAll(path, {"", "2026-12-08"})),
            (std::vector<std::string>{"2026-12-08 10:00:00 502", "2026-12-09 10:00:00 501"}));
}

// A status page reads the same file: its layout and journal mode are shared.
TEST(HistoryStore, TheFileKeepsTheSharedLayoutInWalMode) {
  test::TempDir dir;
  const std::string path = dir.file("history.sqlite3");
  HistoryStore store(path);
  ASSERT_TRUE(store.append(rowAt("2026-12-09 10:00:00", "501", AttemptOutcome::Published)));
  EXPECT_EQ(queryText(path, "PRAGMA journal_mode"), "wal;");
  EXPECT_EQ(queryText(path, "SELECT group_concat(name, ',') FROM pragma_table_info('history')"),
            "id,time,account_id,nickname,video_path,video_size,video_mtime,title,outcome,step,reason,evidence_path,"
            "seconds;");
  EXPECT_EQ(queryText(path, "SELECT group_concat(name, ',') FROM (SELECT name FROM sqlite_master WHERE type = 'index' "
                            "ORDER BY name)"),
            "history_account_time,history_time;");
  EXPECT_EQ(queryText(path, "SELECT outcome FROM history"), "published;");
}

TEST(HistoryStore, AFileThatIsNotADatabaseIsMovedAsideAndANewOneStarted) {
  test::TempDir dir;
  const std::string path = dir.write("history.sqlite3", std::string(8192, 'x'));
  HistoryStore store(path);
  ASSERT_TRUE(store.append(rowAt("2026-12-09 10:00:00", "501", AttemptOutcome::Published))) << store.lastError();

  const std::string aside = store.movedAside();
  const std::string today = formatDateTime(appClock().wallNow(), "yyyy-MM-dd");
  EXPECT_EQ(aside.rfind(path + ".damaged-" + today, 0), 0u) << aside;
  EXPECT_EQ(test::readFile(aside), std::string(8192, 'x'));
  EXPECT_EQ(readAll(path).size(), 1u);
}

TEST(HistoryStore, AFullOrReadOnlyFileSystemFailsRowsUntilItHasRoomAgain) {
  test::TempDir dir;
  test::SmallTmpfs tmpfs(dir.file("data"), 256 * 1024);
  SKIP_UNLESS_MOUNTED(tmpfs);
  const std::string path = dir.file("data/history.sqlite3");
  {
    HistoryStore store(path);
    ASSERT_TRUE(store.append(rowAt("2026-12-09 10:00:00", "501", AttemptOutcome::Published)));

    ASSERT_TRUE(tmpfs.fill("filler"));
    HistoryRow big = rowAt("2026-12-09 10:01:00", "501", AttemptOutcome::Failed);
    big.reason = std::string(64 * 1024, 'r');  // more than any page still free
    EXPECT_FALSE(store.append(big));
    EXPECT_FALSE(store.lastError().empty());
    EXPECT_TRUE(store.movedAside().empty()) << "a full disk is no damage";

    std::filesystem::remove(dir.file("data/filler"));
    EXPECT_TRUE(store.append(big)) << store.lastError();
    EXPECT_EQ(readAll(path).size(), 2u);
  }
  ASSERT_TRUE(tmpfs.makeReadOnly());
  for (const char* name : {"history.sqlite3", "new.sqlite3"}) {
    HistoryStore store(dir.file("data/") + name);
    EXPECT_FALSE(store.append(rowAt("2026-12-09 10:02:00", "501", AttemptOutcome::Published))) << name;
    EXPECT_TRUE(store.movedAside().empty()) << name;
  }
}

TEST(HistoryReader, TodaysPublicationsAreCountedPerAccount) {
  test::TempDir dir;
  const std::string path = dir.file("history.sqlite3");
  HistoryStore store(path);
  for (const HistoryRow& row : {rowAt("2026-12-09 00:00:00", "501", AttemptOutcome::Published),
                                rowAt("2026-12-09 23:59:59", "501", AttemptOutcome::Published),
                                rowAt("2026-12-09 12:00:00", "501", AttemptOutcome::Failed),
                                rowAt("2026-12-08 23:59:59", "502", AttemptOutcome::Published),
                                rowAt("2026-12-10 00:00:00", "502", AttemptOutcome::Published),
                                rowAt("2026-12-09 08:00:00", "503", AttemptOutcome::Published)})
    ASSERT_TRUE(store.append(row));
  EXPECT_EQ(publishedCountsOn(path, "2026-12-09"), (std::map<std::string, int>{{"501", 2}, {"503", 1}}));
  EXPECT_TRUE(publishedCountsOn(dir.file("missing.sqlite3"), "2026-12-09").empty());
}

TEST(HistoryListing, TextAndCsvLines) {
  HistoryRow row = rowAt("2026-12-09 10:15:00", "501", AttemptOutcome::Failed);
  row.step = "publish";
  row.reason = "步骤失败";
  row.evidencePath = "/logs/f.txt";
  row.title = "a,\"b\"\nc";
  EXPECT_EQ(historyTextLine(row),
            "2026-12-09 10:15:00  账号 501（昵称501）  失败 publish（步骤失败）  用时 42秒  /videos/501/a.mp4  "
            "标题：a,\"b\" c  证据：/logs/f.txt");
  EXPECT_EQ(historyCsvHeader(),
            "time,account_id,nickname,video_path,video_size,video_mtime,title,outcome,step,reason,evidence_path,seconds");
  EXPECT_EQ(historyCsvLine(row),
            "2026-12-09 10:15:00,501,昵称501,/videos/501/a.mp4,1234567890123,1765270000,\"a,\"\"b\"\"\nc\",failed,"
            "publish,步骤失败,/logs/f.txt,42");
}

}  // namespace
}  // namespace vidralo
