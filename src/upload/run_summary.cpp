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
    case VideoOutcome::NotLoggedIn: ++tally->notLoggedIn; break;
    case VideoOutcome::PageNotReady: ++tally->pageNotReady; break;
  }
  // A video without a page says nothing about the log-in.
  if (outcome != VideoOutcome::Skipped) tally->loggedOut = outcome == VideoOutcome::NotLoggedIn;
}

std::vector<AccountTally> RunSummary::accounts() const {
  std::lock_guard lock(mutex_);
  return accounts_;
}

std::int64_t RunSummary::elapsedMs() const {
  std::lock_guard lock(mutex_);
  return appClock().tickMs() - startMs_;
}

std::vector<AccountTally> RunSummary::loggedOutAccounts() const {
  std::vector<AccountTally> loggedOut;
  for (const AccountTally& t : accounts())
    if (t.loggedOut) loggedOut.push_back(t);
  return loggedOut;
}

std::vector<std::string> RunSummary::lines() const {
  const auto named = [](const AccountTally& t) {
    return t.accountId + (t.nickname.empty() ? "" : "（" + t.nickname + "）");
  };
  std::vector<std::string> out{"运行小结：用时 " + durationText(elapsedMs())};
  for (const AccountTally& t : accounts()) {
    std::string line = "账号 " + named(t) + "：发布 " + numberToText(t.published) + "，失败 " + numberToText(t.failed) +
                       "，跳过 " + numberToText(t.skipped);
    if (t.notLoggedIn > 0) line += "，未登录 " + numberToText(t.notLoggedIn);
    if (t.pageNotReady > 0) line += "，页面未就绪 " + numberToText(t.pageNotReady);
    out.push_back(line);
  }
  std::string loggedOut;
  for (const AccountTally& t : loggedOutAccounts()) loggedOut += (loggedOut.empty() ? "" : "、") + named(t);
  if (!loggedOut.empty()) out.push_back("未登录的账号：" + loggedOut);
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
