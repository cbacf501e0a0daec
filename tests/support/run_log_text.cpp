#include "support/run_log_text.h"

#include <filesystem>

#include "common/clock.h"
#include "common/gbk.h"
#include "log/run_log.h"

namespace vidralo::test {

std::string runLogText(const TempDir& programFolder) {
  // The day file's name, whichever program directory is set in this process.
  const std::string name = std::filesystem::path(runLogPath(localNow())).filename().string();
  return gbkToUtf8(readFile(programFolder.file("data/" + name)));
}

}  // namespace vidralo::test
