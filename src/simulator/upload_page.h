#pragma once
#include <string_view>

namespace vidralo::sim {

// The upload page's HTML. The server replaces kPageStatePlaceholder with a
// JSON object: {"nickname": text or null, "hideNickname", "alertOnLoad",
// "inputOnClick", "hiddenSign", "readyDelayMs"} and, when the marker is to be in the
// page's data, "hint".
std::string_view uploadPageTemplate();
inline constexpr std::string_view kPageStatePlaceholder = "/*PAGE_STATE*/null";

}  // namespace vidralo::sim
