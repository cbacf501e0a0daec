#pragma once
#include <string>
#include <string_view>

namespace vidralo::sim {

// Every byte but the unreserved URL characters as %XX, so that any UTF-8
// nickname fits into a query or a cookie.
std::string percentEncode(std::string_view text);
// %XX back to bytes; a malformed escape stays as it is.
std::string percentDecode(std::string_view text);

}  // namespace vidralo::sim
