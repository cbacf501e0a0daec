#pragma once
#include <string_view>

namespace vidralo {

// Ends the own process at once with `exitCode`: no destructors, no exit
// handlers, other threads are not waited for. Browsers started by the engine
// are separate processes and keep running.
[[noreturn]] void endOwnProcess(int exitCode = 0);

// Ends the first other process whose executable file name equals `name`
// (ASCII case ignored unless `caseSensitive`). The own process is never
// chosen, even when it carries that name: end it with endOwnProcess. False
// when no such process exists or it could not be ended.
bool endProcessByName(std::string_view name, bool caseSensitive);

}  // namespace vidralo
