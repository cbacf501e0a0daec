#include "common/account_id.h"

namespace vidralo {

bool isSafeAccountId(std::string_view accountId) {
  return !accountId.empty() && accountId.find_first_of(std::string_view("/\\\0", 3)) == std::string_view::npos &&
         accountId.find("..") == std::string_view::npos;
}

}  // namespace vidralo
