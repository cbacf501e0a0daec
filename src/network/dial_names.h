#pragma once
// Entry names as the operator types them.
#include <string>
#include <string_view>

namespace vidralo {

// Without leading and trailing blanks: the ASCII space and the full-width
// space U+3000.
std::string_view withoutBlanks(std::string_view name);

// An empty or blank name becomes "宽带连接".
void defaultBlankEntry(std::string& entry);

}  // namespace vidralo
