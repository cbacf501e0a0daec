#include "accounts/account_store.h"

#include "accounts/record_files.h"

namespace vidralo {

int AccountStore::currentRow() {
  return withState([](AccountState& state) { return state.row; });
}

bool AccountStore::updateRecordKey(const std::string& accountId, std::string_view key, const std::string& value) {
  if (!isSafeAccountId(accountId)) return false;
  const std::string path = recordPath(accountId);
  return withState([&](AccountState& state) {
    if (state.record.load(path) != AccountRecord::LoadResult::Loaded) return false;
    state.record.setText(key, value);
    return state.record.save(path);
  });
}

void AccountStore::saveNickname(const std::string& accountId, const std::string& nickname) {
  updateRecordKey(accountId, recordKey::nickname, nickname);
}

}  // namespace vidralo
