#pragma once
// Account ids name files and folders under the program directory (the record
// "\data\list\" + id + ".json", the browser profile "\huancun\vesko" + id), so
// every path built from one is guarded by the same check.
#include <string_view>

namespace vidralo {

// An id that names an entry inside its folder: not empty, and without a path
// separator, ".." or a control character (a zero byte, a line break: texts
// and lines built from the id would be cut or split).
bool isSafeAccountId(std::string_view accountId);

}  // namespace vidralo
