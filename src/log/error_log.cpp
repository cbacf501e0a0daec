#include "log/error_log.h"

#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "common/gbk.h"
#include "common/program_dir.h"
#include "log/file_replace.h"

namespace vidralo {

void appendErrorLog(std::string_view entry) {
  std::error_code error;
  std::filesystem::create_directories(programPath("\\logs"), error);

  const std::string path = programPath("\\logs\\error.log");
  int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return;
  writeAllBytes(fd, utf8ToGbk(entry));
  ::close(fd);
}

}  // namespace vidralo
