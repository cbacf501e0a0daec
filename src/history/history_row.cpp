#include "history/history_row.h"

#include <array>

namespace vidralo {
namespace {

struct OutcomeNames {
  AttemptOutcome outcome;
  std::string_view key;
  std::string_view text;
};

constexpr std::array<OutcomeNames, 6> kOutcomes{{
    {AttemptOutcome::Published, "published", "已发布"},
    {AttemptOutcome::Failed, "failed", "失败"},
    {AttemptOutcome::NotLoggedIn, "not_logged_in", "未登录"},
    {AttemptOutcome::PageNotReady, "page_not_ready", "页面未就绪"},
    {AttemptOutcome::Skipped, "skipped", "已跳过"},
    {AttemptOutcome::Unknown, "unknown", "结果未知"},
}};

const OutcomeNames& namesOf(AttemptOutcome outcome) {
  for (const OutcomeNames& names : kOutcomes)
    if (names.outcome == outcome) return names;
  return kOutcomes[1];
}

}  // namespace

std::string_view outcomeKey(AttemptOutcome outcome) { return namesOf(outcome).key; }

std::string_view outcomeText(AttemptOutcome outcome) { return namesOf(outcome).text; }

std::optional<AttemptOutcome> outcomeFromKey(std::string_view key) {
  for (const OutcomeNames& names : kOutcomes)
    if (names.key == key) return names.outcome;
  return std::nullopt;
}

}  // namespace vidralo
