#include "network/secret_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

namespace vidralo {

SecretFile::SecretFile(const std::string& content) {
  std::error_code error;
  // mkdtemp makes the folder with mode 0700, the file gets 0600.
  std::string pattern = (std::filesystem::temp_directory_path(error) / "vidralo-dial-XXXXXX").string();
  if (error || ::mkdtemp(pattern.data()) == nullptr) return;
  folder_ = pattern;
  const std::string path = folder_ + "/secret";
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) return;
  const bool written = ::write(fd, content.data(), content.size()) == static_cast<ssize_t>(content.size());
  if (::close(fd) == 0 && written) path_ = path;
}

SecretFile::~SecretFile() {
  std::error_code error;
  if (!folder_.empty()) std::filesystem::remove_all(folder_, error);
}

}  // namespace vidralo
