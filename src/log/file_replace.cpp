#include "log/file_replace.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <string_view>

namespace vidralo {
namespace {

// Temporary files are hidden and carry this ending, so that the ones a kill
// left behind can be told from every file an operator keeps.
constexpr std::string_view kTemporarySuffix = ".vidralo-tmp";

// The file a path finally names, so that replacing a link's target does not
// turn the link into a plain file.
std::string resolvedTarget(const std::string& path) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return path;
  char resolved[PATH_MAX];
  if (::realpath(path.c_str(), resolved)) return resolved;
  return path;  // a dangling link: the rename replaces the link itself
}

std::string directoryOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// Makes the rename itself durable; a failure here cannot undo the rename, so
// it is not reported.
void syncDirectory(const std::string& directory) {
  int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

// Whether `path` still names the file open as `fd`.
bool isNamedBy(int fd, const std::string& path) {
  struct stat open {}, named {};
  return ::fstat(fd, &open) == 0 && ::stat(path.c_str(), &named) == 0 && open.st_dev == named.st_dev &&
         open.st_ino == named.st_ino;
}

}  // namespace

bool writeAllBytes(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

bool isSymbolicLink(const std::string& path) {
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode);
}

bool appendToOwnFile(const std::string& path, std::string_view bytes, mode_t mode) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_NOFOLLOW | O_CLOEXEC, mode);
  if (fd < 0) return false;
  ::fchmod(fd, mode);
  bool ok = writeAllBytes(fd, bytes);
  ok = ::close(fd) == 0 && ok;
  return ok;
}

bool replaceFileContents(const std::string& path, std::string_view bytes, mode_t newFileMode) {
  if (path.empty()) return false;
  const std::string target = resolvedTarget(path);

  mode_t mode = newFileMode;
  struct stat info {};
  if (::stat(target.c_str(), &info) == 0) {
    if (!S_ISREG(info.st_mode)) return false;
    if ((info.st_mode & 0222) == 0 || ::access(target.c_str(), W_OK) != 0) return false;
    mode = info.st_mode & 07777;
  } else if (errno != ENOENT) {
    return false;
  }

  const std::string directory = directoryOf(target);
  const std::string pattern =
      directory + "/." + target.substr(target.rfind('/') + 1) + ".XXXXXX" + std::string(kTemporarySuffix);
  std::string temporary;
  int fd = -1;
  for (int attempt = 0; attempt < 3 && fd < 0; ++attempt) {
    temporary = pattern;
    fd = ::mkostemps(temporary.data(), static_cast<int>(kTemporarySuffix.size()), O_CLOEXEC);
    if (fd < 0) return false;
    // Held until the file is renamed or removed: the clean-up of leftovers
    // passes over a temporary file that a running save still writes. One
    // that ran between the file's making and the lock has taken it.
    ::flock(fd, LOCK_EX);
    if (!isNamedBy(fd, temporary)) {
      ::close(fd);
      fd = -1;
    }
  }
  if (fd < 0) return false;

  bool ok = ::fchmod(fd, mode) == 0 && writeAllBytes(fd, bytes) && ::fsync(fd) == 0;
  // Renamed before the lock is let go: a clean-up running beside this save
  // would otherwise take the temporary file between the two.
  ok = ok && ::rename(temporary.c_str(), target.c_str()) == 0;
  if (!ok) ::unlink(temporary.c_str());
  ::close(fd);  // the bytes are synced: a late error here would change nothing
  if (!ok) return false;
  syncDirectory(directory);
  return true;
}

int removeLeftoverTemporaryFiles(const std::string& folder) {
  return removeUnlockedFiles(folder, [](std::string_view name) {
    return name.starts_with('.') && name.ends_with(kTemporarySuffix);
  });
}

int removeUnlockedFiles(const std::string& folder, const std::function<bool(std::string_view name)>& isLeftover) {
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return 0;
  int removed = 0;
  while (const dirent* entry = ::readdir(dir)) {
    if (!isLeftover(entry->d_name)) continue;
    const int fd = ::openat(::dirfd(dir), entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) continue;
    struct stat info {};
    // A writer at work holds its lock; only a killed one's file is free.
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
        ::unlinkat(::dirfd(dir), entry->d_name, 0) == 0)
      ++removed;
    ::close(fd);
  }
  ::closedir(dir);
  return removed;
}

}  // namespace vidralo
