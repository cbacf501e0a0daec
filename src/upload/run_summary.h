#pragma once
// What one job run did, per account: videos published, failed and skipped
// (no video to pick), attempts that found the account not logged in or its
// page not ready, and how long the run took. Shown when the run ends.
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace vidralo {

struct AccountTally {
  std::string accountId;
  std::string nickname;
  int published = 0;
  int failed = 0;
  int skipped = 0;
  int notLoggedIn = 0;
  int pageNotReady = 0;
  // The latest look at the account's page found it logged out.
  bool loggedOut = false;
};

// How one attempt at a video ended. NotLoggedIn and PageNotReady keep the
// video and pass the account over for the rest of the round.
enum class VideoOutcome { Published, Failed, Skipped, NotLoggedIn, PageNotReady };

class RunSummary {
 public:
  // Forgets the previous run and starts the clock.
  void begin();
  void count(const std::string& accountId, const std::string& nickname, VideoOutcome outcome);
  // Accounts in the order they were first counted.
  std::vector<AccountTally> accounts() const;
  std::int64_t elapsedMs() const;
  // The accounts whose page was logged out at the latest look.
  std::vector<AccountTally> loggedOutAccounts() const;
  // One line for the run's time, then one per account, then the accounts
  // not logged in when there are any, e.g.
  //   运行小结：用时 3分05秒
  //   账号 501（五零一）：发布 2，失败 0，跳过 1
  //   账号 502：发布 0，失败 0，跳过 0，未登录 1
  //   未登录的账号：502
  std::vector<std::string> lines() const;

 private:
  mutable std::mutex mutex_;
  std::int64_t startMs_ = 0;
  std::vector<AccountTally> accounts_;
};

// "3分05秒", "1时02分03秒", "7秒".
std::string durationText(std::int64_t milliseconds);

}  // namespace vidralo
