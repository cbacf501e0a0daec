#pragma once
// One row of the history: what became of one attempt to publish one video.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vidralo {

enum class AttemptOutcome {
  Published,
  Failed,        // a page step failed (step and reason say which and why)
  NotLoggedIn,   // the platform showed its log-in page
  PageNotReady,  // the upload page never showed its marker
  Skipped,       // no video to pick
  Unknown,       // confirm pressed, the platform's answer unknown
};

struct HistoryRow {
  std::string time;  // local, "yyyy-MM-dd HH:mm:ss"
  std::string accountId;
  std::string nickname;
  std::string videoPath;
  std::int64_t videoSize = 0;
  std::int64_t videoMtime = 0;  // seconds since the epoch
  std::string title;
  AttemptOutcome outcome = AttemptOutcome::Failed;
  std::string step;
  std::string reason;
  std::string evidencePath;
  std::int64_t seconds = 0;
};

// The word stored in the database: "published", "failed", "not_logged_in",
// "page_not_ready", "skipped", "unknown".
std::string_view outcomeKey(AttemptOutcome outcome);
std::optional<AttemptOutcome> outcomeFromKey(std::string_view key);
// What the operator reads: 已发布, 失败, 未登录, 页面未就绪, 已跳过, 结果未知.
std::string_view outcomeText(AttemptOutcome outcome);

}  // namespace vidralo
