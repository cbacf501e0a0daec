#pragma once
// What one job run did, per account: videos published, failed and skipped
// (no video to pick), and how long the run took. Shown when the run ends.
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
};

enum class VideoOutcome { Published, Failed, Skipped };

class RunSummary {
 public:
  // Forgets the previous run and starts the clock.
  void begin();
  void count(const std::string& accountId, const std::string& nickname, VideoOutcome outcome);
  // Accounts in the order they were first counted.
  std::vector<AccountTally> accounts() const;
  std::int64_t elapsedMs() const;
  // One line for the run's time, then one per account, e.g.
  //   运行小结：用时 3分05秒
  //   账号 501（五零一）：发布 2，失败 0，跳过 1
  std::vector<std::string> lines() const;

 private:
  mutable std::mutex mutex_;
  std::int64_t startMs_ = 0;
  std::vector<AccountTally> accounts_;
};

// "3分05秒", "1时02分03秒", "7秒".
std::string durationText(std::int64_t milliseconds);

}  // namespace vidralo
