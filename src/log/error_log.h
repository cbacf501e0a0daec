#pragma once
// The error log "\logs\error.log": entries appended as GBK bytes, exactly as
// given (the writer adds no line break).
#include <string_view>

namespace vidralo {

// Creates "\logs" with every missing level when needed. Failures are ignored.
void appendErrorLog(std::string_view entry);

}  // namespace vidralo
