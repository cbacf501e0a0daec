#pragma once
// The HTML of "/": one self-contained page (no outside resources, so it works
// offline) that asks /api/status every 2 seconds and draws what it gets.
#include <string_view>

namespace vidralo {

std::string_view statusPageHtml();

}  // namespace vidralo
