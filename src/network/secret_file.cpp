#include "network/secret_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "log/file_replace.h"

namespace vidralo {
namespace {

constexpr std::string_view kFolderPrefix = "vidralo-dial-";
constexpr std::string_view kFileName = "secret";

}  // namespace

SecretFile::SecretFile(const std::string& content) {
  std::error_code error;
  // mkdtemp makes the folder with mode 0700, the file gets 0600.
  std::string pattern =
      (std::filesystem::temp_directory_path(error) / (std::string(kFolderPrefix) + "XXXXXX")).string();
  if (error || ::mkdtemp(pattern.data()) == nullptr) return;
  folder_ = pattern;
  const std::string path = folder_ + "/" + std::string(kFileName);
  fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd_ < 0) return;
  ::flock(fd_, LOCK_EX);
  if (::write(fd_, content.data(), content.size()) == static_cast<ssize_t>(content.size())) path_ = path;
}

SecretFile::~SecretFile() {
  std::error_code error;
  if (!folder_.empty()) std::filesystem::remove_all(folder_, error);
  if (fd_ >= 0) ::close(fd_);
}

int SecretFile::removeStranded() {
  std::error_code error;
  int removed = 0;
  for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::temp_directory_path(error), error)) {
    if (!entry.path().filename().string().starts_with(kFolderPrefix)) continue;
    const std::string folder = entry.path().string();
    removed += removeUnlockedFiles(folder, [](std::string_view name) { return name == kFileName; });
    // Left alone while a living dial's file is still in it.
    ::rmdir(folder.c_str());
  }
  return removed;
}

}  // namespace vidralo
