#pragma once
// The run log a program wrote, read back by the test that started it.
#include <string>

#include "support/temp_dir.h"

namespace vidralo::test {

// Today's run log of the program whose directory is `programFolder`, in
// UTF-8; empty while there is none.
std::string runLogText(const TempDir& programFolder);

}  // namespace vidralo::test
