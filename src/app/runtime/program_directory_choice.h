#pragma once
// The program directory of this run, chosen before anything reads or writes
// below it.
#include <optional>
#include <string>

namespace vidralo {

// With `directory` (--dir), that folder, which must exist; otherwise
// defaultProgramDirectory, created when missing. Prints where it is on
// standard output. Returns 0, or kExitBadDirectory after saying why on
// standard error.
int chooseProgramDirectory(const std::optional<std::string>& directory);

}  // namespace vidralo
