#include "upload/run_summary.h"

#include <algorithm>
#include <cstdio>

#include "common/clock.h"
#include "common/text_rules.h"

namespace vidralo {

void RunSummary::begin() {
  std::lock_guard lock(mutex_);
  startMs_ = appClock().tickMs();
  accounts_.clear();
}

void RunSummary::count(const std::string& accountId, const std::string& nickname, VideoOutcome outcome) {
  std::lock_guard lock(mutex_);
  auto tally = std::find_if(accounts_.begin(), accounts_.end(),
                            [&accountId](const AccountTally& t) { return t.accountId == accountId; });
  if (tally == accounts_.end()) tally = accounts_.insert(accounts_.end(), AccountTally{accountId, nickname});
  if (!nickname.empty()) tally->nickname = nickname;
  switch (outcome) {
    case VideoOutcome::Published: ++tally->published; break;
    case VideoOutcome::Failed: ++tally->failed; break;
    case VideoOutcome::Skipped: ++tally->skipped; break;
  }
}

std::vector<AccountTally> RunSummary::accounts() const {
  std::lock_guard lock(mutex_);
  return accounts_;
}

std::int64_t RunSummary::elapsedMs() const {
  std::lock_guard lock(mutex_);
  return appClock().tickMs() - startMs_;
}

std::vector<std::string> RunSummary::lines() const {
  std::vector<std::string> out{"运行小结：用时 " + durationText(elapsedMs())};
  for (const AccountTally& t : accounts()) {
    const std::string name = t.nickname.empty() ? "" : "（" + t.nickname + "）";
    out.push_back("账号 " + t.accountId + name + "：发布 " + numberToText(t.published) + "，失败 " +
                  numberToText(t.failed) + "，跳过 " + numberToText(t.skipped));
  }
  return out;
}

std::string durationText(std::int64_t milliseconds) {
  const std::int64_t total = std::max<std::int64_t>(0, milliseconds) / 1000;
  const std::int64_t hours = total / 3600, minutes = total / 60 % 60, seconds = total % 60;
  char text[48];
  if (hours > 0)
    std::snprintf(text, sizeof text, "%lld时%02lld分%02lld秒", static_cast<long long>(hours),
                  static_cast<long long>(minutes), static_cast<long long>(seconds));
  else if (minutes > 0)
    std::snprintf(text, sizeof text, "%lld分%02lld秒", static_cast<long long>(minutes), static_cast<long long>(seconds));
  else
    std::snprintf(text, sizeof text, "%lld秒", static_cast<long long>(seconds));
  return text;
}

}  // namespace vidralo
