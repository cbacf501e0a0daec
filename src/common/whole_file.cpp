#include "common/whole_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace vidralo {

ReadOutcome readWholeFile(const std::string& path, std::string& bytes, std::size_t maxBytes) {
  bytes.clear();
  int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT || errno == ENOTDIR ? ReadOutcome::Missing : ReadOutcome::Failed;
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || static_cast<std::size_t>(info.st_size) > maxBytes) {
    ::close(fd);
    return ReadOutcome::Failed;
  }
  bytes.reserve(static_cast<std::size_t>(info.st_size));
  char buffer[65536];
  while (true) {
    ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    // A file that grows past the limit while it is read counts as too large.
    if (got < 0 || bytes.size() + static_cast<std::size_t>(std::max<ssize_t>(got, 0)) > maxBytes) {
      ::close(fd);
      bytes.clear();
      return ReadOutcome::Failed;
    }
    if (got == 0) break;
    bytes.append(buffer, static_cast<std::size_t>(got));
  }
  ::close(fd);
  return ReadOutcome::Read;
}

}  // namespace vidralo
