#include "accounts/record_files.h"

#include <filesystem>

#include "accounts/account_record.h"
#include "common/program_dir.h"
#include "common/text_rules.h"

namespace vidralo {

std::string recordFolder() { return programPath("\\data\\list"); }

std::string recordPath(std::string_view accountId) {
  return recordFolder() + nativeSuffix("\\") + std::string(accountId) + ".json";
}

bool hasUnreadableRecord(std::string_view accountId) {
  AccountRecord record;
  return isSafeAccountId(accountId) && record.load(recordPath(accountId)) == AccountRecord::LoadResult::Unreadable;
}

std::string newAccountId() {
  for (std::int64_t n = 100;; ++n) {
    std::string id = numberToText(n);
    std::error_code error;
    // Anything at the path, even a folder, makes the id taken.
    if (!std::filesystem::exists(std::filesystem::symlink_status(recordPath(id), error))) return id;
  }
}

}  // namespace vidralo
