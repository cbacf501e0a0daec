#include "common/account_id.h"

#include <algorithm>

namespace vidralo {

bool isSafeAccountId(std::string_view accountId) {
  const bool control = std::any_of(accountId.begin(), accountId.end(), [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7F;
  });
  return !accountId.empty() && !control && accountId.find_first_of("/\\") == std::string_view::npos &&
         accountId.find("..") == std::string_view::npos;
}

}  // namespace vidralo
