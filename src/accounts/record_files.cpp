#include "accounts/record_files.h"

#include <filesystem>

#include "common/program_dir.h"
#include "common/text_rules.h"

namespace vidralo {

std::string recordFolder() { return programPath("\\data\\list"); }

std::string recordPath(std::string_view accountId) {
  return recordFolder() + nativeSuffix("\\") + std::string(accountId) + ".json";
}

bool isSafeAccountId(std::string_view accountId) {
  return !accountId.empty() && accountId.find_first_of(std::string_view("/\\\0", 3)) == std::string_view::npos &&
         accountId.find("..") == std::string_view::npos;
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
