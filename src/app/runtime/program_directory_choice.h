#pragma once
// The program directory of this run, chosen before anything reads or writes
// below it.
#include <cstdio>
#include <optional>
#include <string>

namespace vidralo {

// With `directory` (--dir), that folder, which must exist; otherwise
// defaultProgramDirectory, created when missing. Prints where it is on
// `report` (standard error for commands whose output is data). Returns 0, or
// kExitBadDirectory after saying why on standard error.
int chooseProgramDirectory(const std::optional<std::string>& directory, std::FILE* report = stdout);

}  // namespace vidralo
