#pragma once
// `vidralo --history`: the program directory's history, printed without a
// window, a browser or the job.
#include <cstdio>

#include "app/runtime/command_line.h"

namespace vidralo {

// Prints the rows `request` asks for to `out`. kExitOk, also when there is
// no history yet (a note goes to `err`); kExitCommandFailed with the
// reason on `err` when the database cannot be read.
int printHistory(const HistoryRequest& request, std::FILE* out, std::FILE* err);

}  // namespace vidralo
