#pragma once
// Reading a whole file into memory without ever blocking or running on
// forever: only regular files are read, and only up to a limit.
#include <cstddef>
#include <limits>
#include <string>

namespace vidralo {

enum class ReadOutcome { Read, Missing, Failed };

// Reads the whole regular file at `path` into `bytes`. Missing: nothing
// exists there; Failed: something exists but cannot be read as a file, or
// holds more than `maxBytes`. Never blocks on a FIFO and never reads a
// device, whose contents may have no end.
ReadOutcome readWholeFile(const std::string& path, std::string& bytes,
                          std::size_t maxBytes = std::numeric_limits<std::size_t>::max());

}  // namespace vidralo
