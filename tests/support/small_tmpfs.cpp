#include "support/small_tmpfs.h"

#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <vector>

namespace vidralo::test {

SmallTmpfs::SmallTmpfs(std::string folder, std::size_t bytes) : folder_(std::move(folder)) {
  std::error_code ignored;
  std::filesystem::create_directories(folder_, ignored);
  const std::string options = "size=" + std::to_string(bytes) + ",mode=0755";
  mounted_ = ::mount("vidralo-test", folder_.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) == 0;
  if (!mounted_) error_ = std::strerror(errno);
}

SmallTmpfs::~SmallTmpfs() {
  if (mounted_) ::umount2(folder_.c_str(), MNT_DETACH);
}

bool SmallTmpfs::fill(const std::string& fileName) const {
  const int fd = ::open((folder_ + "/" + fileName).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  const std::vector<char> zeros(4096, 0);
  while (::write(fd, zeros.data(), zeros.size()) > 0) {
  }
  const bool full = errno == ENOSPC;
  ::close(fd);
  return full;
}

bool SmallTmpfs::makeReadOnly() const {
  return ::mount(nullptr, folder_.c_str(), nullptr, MS_REMOUNT | MS_RDONLY | MS_NOSUID | MS_NODEV, nullptr) == 0;
}

}  // namespace vidralo::test
