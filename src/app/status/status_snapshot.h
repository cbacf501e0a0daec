#pragma once
// One picture of the run for the status page, taken from the controls (the
// job writes everything it does there) and the history database.
#include <cstdint>
#include <ctime>
#include <map>
#include <string>
#include <vector>

#include "history/history_facts.h"
#include "controls/control_model.h"

namespace vidralo {

struct AccountView {
  std::string id;
  std::string nickname;
  std::string status;          // 状态
  std::string publishing;      // 正在发布
  std::string publishedToday;  // 今天已发
  bool loggedIn = true;        // false once the job passed it over for want of a log-in
  bool waitingForLogin = false;  // its log-in picture logs/login-ID.png is there
  // Into the snapshot's maps below; null when there is none.
  const LastEvent* lastPublished = nullptr;
  const LastEvent* lastFailed = nullptr;
};

struct JobView {
  bool running = false;
  std::int64_t forbiddenUntil = 0;  // seconds since the epoch; 0: not in forbidden hours
  std::int64_t nextRoundAt = 0;     // 0: no round waiting
  std::string accountId;            // the account being worked on, while running
  std::string video;
  int elapsedSeconds = -1;          // -1: no video on the clock
};

// Movable, not copyable: the accounts point into the maps of last events.
struct StatusSnapshot {
  StatusSnapshot() = default;
  StatusSnapshot(StatusSnapshot&&) = default;
  StatusSnapshot& operator=(StatusSnapshot&&) = default;

  std::int64_t takenAt = 0;  // seconds since the epoch
  JobView job;
  int browsersRunning = 0;
  std::vector<AccountView> accounts;
  HistoryFacts history;  // its last events moved into the maps
  std::map<std::string, LastEvent> lastPublished;  // by account id
  std::map<std::string, LastEvent> lastFailed;
};

struct SnapshotSources {
  const ControlModel& controls;
  bool jobRunning = false;
  int browsersRunning = 0;
  std::string historyPath;
  std::string loginPictureFolder;  // where login-ID.png lies
};

inline constexpr int kLatestHistoryRows = 50;

StatusSnapshot takeSnapshot(const SnapshotSources& sources, std::time_t now);

// The hour at which forbidden hours that cover `now` end, or 0 when the
// hour of `now` is allowed (or every hour is forbidden).
std::time_t forbiddenHoursEnd(const std::string& hourList, std::time_t now);

}  // namespace vidralo
