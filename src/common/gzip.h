#pragma once
// One-shot gzip of a byte string in memory (fastest level: for answers that
// are packed once and sent many times, or packed per request).
#include <string>
#include <string_view>

namespace vidralo {

std::string gzipped(std::string_view bytes);

}  // namespace vidralo
