#include "http/cookie_text.h"

#include <algorithm>

namespace vidralo {
namespace {

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return text;
}

std::string_view cookieName(std::string_view pair) { return trimmed(pair.substr(0, pair.find('='))); }

std::string_view cookieValue(std::string_view pair) {
  const std::size_t equals = pair.find('=');
  return equals == std::string_view::npos ? std::string_view() : trimmed(pair.substr(equals + 1));
}

std::vector<std::string> splitCookies(std::string_view cookies) {
  std::vector<std::string> pairs;
  while (!cookies.empty()) {
    const std::size_t end = cookies.find(';');
    const std::string_view pair = trimmed(cookies.substr(0, end));
    if (!pair.empty()) pairs.emplace_back(pair);
    if (end == std::string_view::npos) break;
    cookies.remove_prefix(end + 1);
  }
  return pairs;
}

}  // namespace

std::string withoutCookiePrefix(std::string_view cookies) {
  constexpr std::string_view prefix = "cookie:";
  if (cookies.size() >= prefix.size() &&
      std::equal(prefix.begin(), prefix.end(), cookies.begin(),
                 [](char p, char c) { return p == (c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c); }))
    cookies.remove_prefix(prefix.size());
  return std::string(trimmed(cookies));
}

std::vector<std::string> cookiePairs(const std::vector<std::string>& setCookieValues) {
  std::vector<std::string> pairs;
  for (const std::string& value : setCookieValues) {
    const std::string_view pair = trimmed(std::string_view(value).substr(0, value.find(';')));
    if (!pair.empty()) pairs.emplace_back(pair);
  }
  return pairs;
}

std::string joinCookies(const std::vector<std::string>& pairs) {
  std::string text;
  for (const std::string& pair : pairs) text += (text.empty() ? "" : "; ") + pair;
  return text;
}

std::string mergeCookies(std::string_view sent, const std::vector<std::string>& returned) {
  std::vector<std::string> pairs = splitCookies(sent);
  for (const std::string& pair : returned) {
    const std::string_view name = cookieName(pair);
    const auto same = [name](const std::string& p) { return cookieName(p) == name; };
    if (cookieValue(pair) == "deleted") {
      std::erase_if(pairs, same);
    } else if (auto it = std::find_if(pairs.begin(), pairs.end(), same); it != pairs.end()) {
      *it = pair;
    } else {
      pairs.push_back(pair);
    }
  }
  return joinCookies(pairs);
}

}  // namespace vidralo
