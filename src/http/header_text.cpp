#include "http/header_text.h"

#include <algorithm>
#include <cctype>

namespace vidralo {
namespace {

bool equalNoCase(char a, char b) {
  return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
}

std::string_view trimmed(std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

std::string_view nameOf(std::string_view line) { return trimmed(line.substr(0, line.find(':'))); }

}  // namespace

bool namesHeader(std::string_view headers, std::string_view name) {
  const std::string needle = std::string(name) + ":";
  return std::search(headers.begin(), headers.end(), needle.begin(), needle.end(), equalNoCase) != headers.end();
}

std::string headerValue(std::string_view line, std::string_view name) {
  if (line.size() <= name.size() || line[name.size()] != ':') return {};
  if (!std::equal(name.begin(), name.end(), line.begin(), equalNoCase)) return {};
  return std::string(trimmed(line.substr(name.size() + 1)));
}

std::vector<std::string> splitHeaderLines(std::string_view headers) {
  std::vector<std::string> lines;
  while (!headers.empty()) {
    const std::size_t end = headers.find('\n');
    std::string_view line = headers.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (!trimmed(line).empty()) lines.emplace_back(line);
    if (end == std::string_view::npos) break;
    headers.remove_prefix(end + 1);
  }
  return lines;
}

std::vector<std::string> completedHeaderLines(std::string_view headers, const std::vector<std::string>& defaults) {
  std::vector<std::string> lines = splitHeaderLines(headers);
  for (const std::string& line : defaults)
    if (!namesHeader(headers, nameOf(line))) lines.push_back(line);
  return lines;
}

std::string normalisedHeaderLine(std::string_view line) {
  const std::size_t colon = line.find(':');
  if (colon == std::string_view::npos || trimmed(line.substr(0, colon)).empty()) return {};
  return std::string(trimmed(line.substr(0, colon))) + ": " + std::string(trimmed(line.substr(colon + 1)));
}

}  // namespace vidralo
