#pragma once
// The pieces of one INI line, on GBK bytes. A GBK character is one byte below
// 0x80 or a lead byte 0x81-0xFE with a trail byte 0x40-0xFE; trail bytes
// include ASCII letters and brackets, so every scan walks whole characters.
// The four-byte characters GB18030 adds consist of lead bytes and digits, so
// they are walked byte by byte without ever matching "[", "]", "=" or a blank.
#include <cstddef>
#include <string_view>

namespace vidralo::ini {

// Bytes of the character that starts at `at`.
std::size_t charLength(std::string_view gbk, std::size_t at);

// Names compare with ASCII letters folded; double-byte characters exactly.
bool sameName(std::string_view a, std::string_view b);

// Without spaces, tabs and other ASCII blanks (CR included) at both ends.
std::string_view trimBlanks(std::string_view text);

// The name of a "[name]" line: from the first "[" (after blanks) to the last
// "]". False for any other line.
bool parseSectionLine(std::string_view line, std::string_view& name);

struct KeyLine {
  std::string_view key;         // trimmed
  std::string_view value;       // trimmed
  std::size_t afterEquals = 0;  // where the value part of the line starts
};

// A line with "=" that is not a section line.
bool parseKeyLine(std::string_view line, KeyLine& parsed);

}  // namespace vidralo::ini
