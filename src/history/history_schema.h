#pragma once
// The one table of the history database and its indexes. Other programs
// (a status page) read this file: the layout is a contract, changed only
// together with them.
namespace vidralo {

inline constexpr const char* kHistorySchema = R"(
CREATE TABLE IF NOT EXISTS history(
  id INTEGER PRIMARY KEY,
  time TEXT NOT NULL,
  account_id TEXT NOT NULL,
  nickname TEXT NOT NULL,
  video_path TEXT NOT NULL,
  video_size INTEGER NOT NULL,
  video_mtime INTEGER NOT NULL,
  title TEXT NOT NULL,
  outcome TEXT NOT NULL,
  step TEXT NOT NULL,
  reason TEXT NOT NULL,
  evidence_path TEXT NOT NULL,
  seconds INTEGER NOT NULL
);
CREATE INDEX IF NOT EXISTS history_account_time ON history(account_id, time);
CREATE INDEX IF NOT EXISTS history_time ON history(time);
)";

inline constexpr const char* kHistoryColumns =
    "time, account_id, nickname, video_path, video_size, video_mtime, title, outcome, step, reason, "
    "evidence_path, seconds";

}  // namespace vidralo
