#include "settings/ini_line.h"

namespace vidralo::ini {
namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

char foldAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

std::size_t charLength(std::string_view gbk, std::size_t at) {
  const auto lead = static_cast<unsigned char>(gbk[at]);
  if (lead < 0x81 || lead > 0xFE || at + 1 >= gbk.size()) return 1;
  const auto trail = static_cast<unsigned char>(gbk[at + 1]);
  return trail >= 0x40 && trail <= 0xFE ? 2 : 1;
}

bool sameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size();) {
    const std::size_t length = charLength(a, i);
    if (length != charLength(b, i)) return false;
    if (length == 1 ? foldAscii(a[i]) != foldAscii(b[i]) : a.substr(i, 2) != b.substr(i, 2)) return false;
    i += length;
  }
  return true;
}

std::string_view trimBlanks(std::string_view text) {
  while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
  return text;
}

bool parseSectionLine(std::string_view line, std::string_view& name) {
  line = trimBlanks(line);
  if (line.empty() || line.front() != '[') return false;
  std::size_t close = std::string_view::npos;
  for (std::size_t i = 1; i < line.size(); i += charLength(line, i))
    if (line[i] == ']') close = i;
  if (close == std::string_view::npos) return false;
  name = trimBlanks(line.substr(1, close - 1));
  return true;
}

bool parseKeyLine(std::string_view line, KeyLine& parsed) {
  std::string_view ignored;
  if (parseSectionLine(line, ignored)) return false;
  // "=" (0x3D) is never a trail byte, so a plain search is safe.
  const std::size_t equals = line.find('=');
  if (equals == std::string_view::npos) return false;
  parsed.key = trimBlanks(line.substr(0, equals));
  parsed.afterEquals = equals + 1;
  parsed.value = trimBlanks(line.substr(equals + 1));
  return true;
}

}  // namespace vidralo::ini
