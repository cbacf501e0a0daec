#include "log/error_log.h"

#include <filesystem>
#include <string>

#include "common/gbk.h"
#include "common/program_dir.h"
#include "log/file_replace.h"

namespace vidralo {

void appendErrorLog(std::string_view entry) {
  std::error_code error;
  std::filesystem::create_directories(programPath("\\logs"), error);

  appendToOwnFile(programPath("\\logs\\error.log"), utf8ToGbk(entry), 0600);
}

}  // namespace vidralo
