#pragma once
// The one in-memory record and list row through which every account
// operation works. A single lock covers both, so that one operation's load,
// key changes and save form a unit against every other thread: the start-up
// reload, the log-in threads writing a nickname, the job's nickname
// write-back and the window's handlers.
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

#include "accounts/account_record.h"

namespace vidralo {

struct AccountState {
  AccountRecord record;  // the record loaded or built last
  int row = -1;          // the account-list row the account operations act on
  // Raised by every reload and clear, so that a reload that has been
  // superseded stops appending rows.
  std::uint64_t listGeneration = 0;
};

class AccountStore {
 public:
  // Runs `work` with the state under the lock. `work` must not call back into
  // the store, and must not wait or show dialogs.
  template <typename Work>
  decltype(auto) withState(Work&& work) {
    std::lock_guard lock(mutex_);
    return work(state_);
  }

  int currentRow();

  // Loads the account's record, sets `key` and writes the record back, as one
  // unit. Nothing is written when the record cannot be loaded (so no other
  // account's values end up in its file) or the id would leave the record
  // folder. True when the record was written.
  bool updateRecordKey(const std::string& accountId, std::string_view key, const std::string& value);

  // The nickname write-back of the browser session.
  void saveNickname(const std::string& accountId, const std::string& nickname);

 private:
  std::mutex mutex_;
  AccountState state_;
};

}  // namespace vidralo
