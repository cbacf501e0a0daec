#include "app/status/status_snapshot.h"

#include <filesystem>
#include <map>

#include "common/text_rules.h"
#include "upload/job.h"

namespace vidralo {
namespace {

constexpr std::string_view kNotLoggedIn = "未登录";
constexpr std::string_view kRoundWait = "本轮结束，等待";
constexpr std::string_view kElapsed = "耗时：";

// Moves the rows out, so a snapshot keeps one copy of each.
std::map<std::string, LastEvent> byAccount(std::vector<LastEvent>& rows) {
  std::map<std::string, LastEvent> result;
  for (LastEvent& row : rows) result[row.accountId] = std::move(row);
  rows.clear();
  rows.shrink_to_fit();
  return result;
}

const LastEvent* find(const std::map<std::string, LastEvent>& rows, const std::string& id) {
  const auto it = rows.find(id);
  return it == rows.end() ? nullptr : &it->second;
}

JobView jobView(const ControlModel& controls, bool running, std::time_t now) {
  JobView job;
  job.running = running;
  if (!running) return job;
  if (controls.checked(ControlId::选择框_禁止指定时间))
    job.forbiddenUntil = forbiddenHoursEnd(controls.text(ControlId::编辑框_禁止指定时间), now);
  if (const std::string caption = controls.caption(ControlId::分组框6); startsWith(caption, kRoundWait))
    job.nextRoundAt = now + toInteger(caption.substr(kRoundWait.size()));
  // The job keeps 编辑框_账号序列 at the account it works on.
  const int row = toInteger(controls.text(ControlId::编辑框_账号序列)) - 1;
  if (row < 0 || row >= controls.rowCount()) return job;
  job.accountId = controls.cell(row, 列_账号标识);
  job.video = controls.cell(row, 列_正在发布);
  if (const std::string status = controls.cell(row, 列_状态); startsWith(status, kElapsed))
    job.elapsedSeconds = toInteger(status.substr(kElapsed.size()));
  return job;
}

}  // namespace

std::time_t forbiddenHoursEnd(const std::string& hourList, std::time_t now) {
  std::tm local{};
  localtime_r(&now, &local);
  if (!isForbiddenHour(hourList, local.tm_hour)) return 0;
  local.tm_min = 0;
  local.tm_sec = 0;
  for (int ahead = 1; ahead < 24; ++ahead) {
    if (isForbiddenHour(hourList, (local.tm_hour + ahead) % 24)) continue;
    std::tm end = local;
    end.tm_hour += ahead;
    end.tm_isdst = -1;
    return std::mktime(&end);
  }
  return 0;
}

StatusSnapshot takeSnapshot(const SnapshotSources& sources, std::time_t now) {
  StatusSnapshot snapshot;
  snapshot.takenAt = now;
  snapshot.browsersRunning = sources.browsersRunning;
  snapshot.job = jobView(sources.controls, sources.jobRunning, now);
  snapshot.history = readHistoryFacts(sources.historyPath, kLatestHistoryRows);
  snapshot.lastPublished = byAccount(snapshot.history.lastPublished);
  snapshot.lastFailed = byAccount(snapshot.history.lastFailed);
  const int count = sources.controls.rowCount();
  snapshot.accounts.reserve(count);
  for (int row = 0; row < count; ++row) {
    std::vector<std::string> cells = sources.controls.rowCells(row);
    if (cells.size() < kColumnCount) continue;  // removed meanwhile
    AccountView account;
    account.id = std::move(cells[列_账号标识]);
    account.nickname = std::move(cells[列_昵称]);
    account.status = std::move(cells[列_状态]);
    account.publishing = std::move(cells[列_正在发布]);
    account.publishedToday = std::move(cells[列_今天已发]);
    std::error_code error;
    account.waitingForLogin =
        !account.id.empty() &&
        std::filesystem::exists(sources.loginPictureFolder + "/login-" + account.id + ".png", error);
    account.loggedIn = !startsWith(account.status, kNotLoggedIn) && !account.waitingForLogin;
    account.lastPublished = find(snapshot.lastPublished, account.id);
    account.lastFailed = find(snapshot.lastFailed, account.id);
    snapshot.accounts.push_back(std::move(account));
  }
  return snapshot;
}

}  // namespace vidralo
