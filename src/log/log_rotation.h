#pragma once
// Size-bounded log files: past its limit a log moves to NAME.1, NAME.1 to
// NAME.2 and so on; the oldest beyond `kept` is deleted. A log therefore
// never takes more than about (kept + 1) × limit bytes.
#include <cstdint>
#include <string>

namespace vidralo {

// Rotates `path` when it holds more than `limitBytes`. Failures are ignored:
// the caller goes on appending to whatever file is there.
void rotateWhenLarger(const std::string& path, std::uintmax_t limitBytes, int kept);

}  // namespace vidralo
