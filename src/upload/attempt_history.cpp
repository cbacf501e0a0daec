#include "upload/attempt_history.h"

#include <cstdio>

#include "common/clock.h"
#include "common/text_rules.h"
#include "history/history_reader.h"
#include "log/date_time.h"
#include "log/error_log.h"

namespace vidralo {
namespace {

constexpr int kMessagePart = 1;

}  // namespace

AttemptHistory::AttemptHistory(ControlModel& controls) : AttemptHistory(controls, historyDatabasePath()) {}

AttemptHistory::AttemptHistory(ControlModel& controls, std::string path)
    : controls_(controls), store_(std::move(path)) {}

void AttemptHistory::record(const HistoryRow& row) {
  const bool written = store_.append(row);
  if (const std::string aside = store_.movedAside(); !aside.empty() && aside != movedAsideReported_) {
    movedAsideReported_ = aside;
    report("历史记录文件已损坏，已改名为 " + aside + "，另建新文件");
  }
  if (written) {
    // A later failure (the disk full again) is worth a message of its own.
    failureReported_ = false;
    return;
  }
  if (failureReported_) return;
  failureReported_ = true;
  report("历史记录无法写入：" + store_.path() + "（" + store_.lastError() + "）");
}

void AttemptHistory::report(const std::string& message) {
  controls_.setStatusText(kMessagePart, message);
  std::fprintf(stderr, "%s\n", message.c_str());
  appendErrorLog(formatDateTime() + " " + message + "\r\n");
}

void restorePublishedToday(ControlModel& controls) {
  const std::map<std::string, int> counts =
      publishedCountsOn(historyDatabasePath(), formatDateTime(appClock().wallNow(), "yyyy-MM-dd"));
  if (counts.empty()) return;
  for (int row = 0; row < controls.rowCount(); ++row) {
    const auto found = counts.find(controls.cell(row, 列_账号标识));
    if (found != counts.end()) controls.setCell(row, 列_今天已发, numberToText(found->second));
  }
}

}  // namespace vidralo
