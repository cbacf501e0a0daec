#pragma once
// Cookie text: "name=value" pairs separated by "; ".
#include <string>
#include <string_view>
#include <vector>

namespace vidralo {

// `cookies` without a leading "Cookie:" and the blanks after it.
std::string withoutCookiePrefix(std::string_view cookies);

// The first name=value part (up to the first ";") of each Set-Cookie value.
std::vector<std::string> cookiePairs(const std::vector<std::string>& setCookieValues);

std::string joinCookies(const std::vector<std::string>& pairs);

// `sent` updated by `returned`: a pair replaces the sent pair of the same
// name, a new name is appended, and a pair with the value "deleted" removes
// its name.
std::string mergeCookies(std::string_view sent, const std::vector<std::string>& returned);

}  // namespace vidralo
