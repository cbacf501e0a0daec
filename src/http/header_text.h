#pragma once
// Header text: "Name: value" lines separated by CR LF, as callers write it.
#include <string>
#include <string_view>
#include <vector>

namespace vidralo {

// True when `name` followed by a colon occurs anywhere in `headers`, without
// regard to ASCII case. A caller's line thus suppresses the default of the
// same name however it is written.
bool namesHeader(std::string_view headers, std::string_view name);

// The caller's lines followed by each of `defaults` ("Name: value") whose
// name the caller's text does not name.
std::vector<std::string> completedHeaderLines(std::string_view headers, const std::vector<std::string>& defaults);

// The value of "Name: value" when `line` is a header of that name (any case),
// blanks around the value removed; empty otherwise.
std::string headerValue(std::string_view line, std::string_view name);

// The non-empty lines of `headers` (CR LF or LF separated).
std::vector<std::string> splitHeaderLines(std::string_view headers);

// "Name: value" with the blanks around name and value removed; a line
// without a colon is no header and gives an empty text.
std::string normalisedHeaderLine(std::string_view line);

}  // namespace vidralo
