#pragma once
#include <string>

namespace vidralo {

// True when `path` names a directory (a link to one counts).
bool isDirectory(const std::string& path);

// Creates `path` with every missing level; true when it is a directory
// afterwards, whether it was created now or existed before.
bool ensureDirectory(const std::string& path);

}  // namespace vidralo
