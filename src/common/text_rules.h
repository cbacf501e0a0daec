#pragma once
// The program's rules for turning texts into numbers and back. Every numeric
// setting typed into the window is read with toInteger, so "80秒" reads as 80
// and "abc" as 0, exactly as operators are used to.
#include <cstdint>
#include <string>
#include <string_view>

namespace vidralo {

// Leading blanks skipped, an optional sign, then decimal digits up to the
// first other character; no digits gives 0. Values beyond the 32-bit range
// saturate instead of wrapping around.
int toInteger(std::string_view text);

// Decimal digits without leading zeros or fraction; a minus sign only for
// negative values.
std::string numberToText(std::int64_t value);

// Replaces every occurrence of `from` (non-empty) by `to`, left to right,
// without rescanning replaced text.
std::string replaceAll(std::string_view text, std::string_view from, std::string_view to);

bool startsWith(std::string_view text, std::string_view prefix);
bool endsWith(std::string_view text, std::string_view suffix);

}  // namespace vidralo
