#include "upload/file_ops.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <charconv>
#include <cstring>
#include <string>

namespace vidralo {
namespace {

bool isSeparator(char c) { return c == '/' || c == '\\'; }

// The octal "flags:" value of one /proc/<pid>/fdinfo/<fd> file, or -1.
long fdFlags(const std::string& fdinfoPath) {
  const int fd = ::open(fdinfoPath.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return -1;
  char buffer[512];
  const ssize_t got = ::read(fd, buffer, sizeof buffer - 1);
  ::close(fd);
  if (got <= 0) return -1;
  std::string_view text(buffer, static_cast<std::size_t>(got));
  const std::size_t at = text.find("flags:");
  if (at == std::string_view::npos) return -1;
  std::size_t start = at + 6;
  while (start < text.size() && (text[start] == ' ' || text[start] == '\t')) ++start;
  long flags = 0;
  const auto [end, error] = std::from_chars(text.data() + start, text.data() + text.size(), flags, 8);
  return error == std::errc() ? flags : -1;
}

bool isNumber(std::string_view name) {
  if (name.empty()) return false;
  for (char c : name)
    if (c < '0' || c > '9') return false;
  return true;
}

// One process's descriptors: true when one of them is `file` opened for
// writing. Processes of other users stay unreadable without root and are
// skipped.
bool processWrites(const std::string& pid, const struct stat& file) {
  const std::string fdFolder = "/proc/" + pid + "/fd/";
  DIR* dir = ::opendir(fdFolder.c_str());
  if (!dir) return false;
  bool writing = false;
  while (dirent* entry = ::readdir(dir)) {
    if (!isNumber(entry->d_name)) continue;
    struct stat target {};
    if (::stat((fdFolder + entry->d_name).c_str(), &target) != 0) continue;
    if (target.st_dev != file.st_dev || target.st_ino != file.st_ino) continue;
    const long flags = fdFlags("/proc/" + pid + "/fdinfo/" + entry->d_name);
    if (flags >= 0 && (flags & O_ACCMODE) != O_RDONLY) {
      writing = true;
      break;
    }
  }
  ::closedir(dir);
  return writing;
}

bool copyContents(int in, int out) {
  char buffer[1 << 16];
  while (true) {
    const ssize_t got = ::read(in, buffer, sizeof buffer);
    if (got == 0) return true;
    if (got < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    for (ssize_t written = 0; written < got;) {
      const ssize_t put = ::write(out, buffer + written, static_cast<std::size_t>(got - written));
      if (put < 0) {
        if (errno == EINTR) continue;
        return false;
      }
      written += put;
    }
  }
}

// Renames without ever replacing `to`; errno tells why it failed.
bool renameNoReplace(const std::string& from, const std::string& to) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
  // File systems without RENAME_NOREPLACE: a hard link fails on an existing
  // target just the same.
  if (errno != EINVAL && errno != ENOSYS) return false;
  if (::link(from.c_str(), to.c_str()) != 0) return false;
  ::unlink(from.c_str());
  return true;
}

}  // namespace

bool pathExists(const std::string& path) {
  if (path.empty() || isSeparator(path.back())) return false;
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0;
}

bool fileExists(const std::string& path) {
  if (path.empty() || isSeparator(path.back())) return false;
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

namespace {

enum class WriterAnswer { None, Some, Unknown };

// The kernel refuses a read lease while any process holds the file open for
// writing: one open instead of a look at every descriptor of every process.
// Leases need the file's owner (or CAP_LEASE) and a file system that has them.
WriterAnswer askForReadLease(const std::string& path) {
  // Non-blocking: another holder's lease would otherwise hold up the open.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return WriterAnswer::Unknown;
  WriterAnswer answer = WriterAnswer::Unknown;
  // A writer opening the file while the lease is held breaks it with a
  // signal to this process; SIGURG is ignored unless handled, where the
  // default SIGIO would end the program.
  if (::fcntl(fd, F_SETSIG, SIGURG) == 0) {
    if (::fcntl(fd, F_SETLEASE, F_RDLCK) == 0) answer = WriterAnswer::None;
    else if (errno == EAGAIN) answer = WriterAnswer::Some;
  }
  ::close(fd);  // gives the lease up
  return answer;
}

}  // namespace

bool isFileInUse(const std::string& path) {
  // A missing file or a folder takes no lease; the look through /proc then
  // says no.
  switch (askForReadLease(path)) {
    case WriterAnswer::None: return false;
    case WriterAnswer::Some: return true;
    case WriterAnswer::Unknown: break;
  }
  return isFileInUseByAnyProcess(path);
}

bool isFileInUseByAnyProcess(const std::string& path) {
  struct stat file {};
  if (!fileExists(path) || ::stat(path.c_str(), &file) != 0) return false;
  DIR* proc = ::opendir("/proc");
  if (!proc) return false;
  bool inUse = false;
  while (dirent* entry = ::readdir(proc)) {
    if (isNumber(entry->d_name) && processWrites(entry->d_name, file)) {
      inUse = true;
      break;
    }
  }
  ::closedir(proc);
  return inUse;
}

bool isValidFilePath(std::string_view path) {
  if (path.empty() || path.front() != '/') return false;
  const std::string_view name = fileNameOf(path);
  return !name.empty() && name.find_first_of("?/\\<>*|:\"") == std::string_view::npos;
}

bool copyFileNoReplace(const std::string& from, const std::string& to) {
  struct stat existing {};
  if (::lstat(to.c_str(), &existing) == 0) return false;
  const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return false;
  struct stat info {};
  if (::fstat(in, &info) != 0 || S_ISDIR(info.st_mode)) {
    ::close(in);
    return false;
  }
  // The copy grows under a hidden temporary name beside the target and takes
  // the real name only when whole: a kill halfway leaves no truncated file
  // under that name (and the temporary one is never listed as a video).
  std::string temporary = std::string(folderOf(to)) + "." + std::string(fileNameOf(to)) + ".XXXXXX.vidralo-tmp";
  const int out = ::mkostemps(temporary.data(), static_cast<int>(std::strlen(".vidralo-tmp")), O_CLOEXEC);
  if (out < 0) {
    ::close(in);
    return false;
  }
  bool ok = ::fchmod(out, info.st_mode & 07777) == 0 && copyContents(in, out) && ::fsync(out) == 0;
  ::close(in);
  if (::close(out) != 0) ok = false;
  ok = ok && renameNoReplace(temporary, to);
  if (!ok) ::unlink(temporary.c_str());
  return ok;
}

bool moveFileNoReplace(const std::string& from, const std::string& to) {
  if (renameNoReplace(from, to)) return true;
  if (errno != EXDEV) return false;
  if (!copyFileNoReplace(from, to)) return false;
  if (::unlink(from.c_str()) != 0) {
    // Keep one copy only: the original stays where it was.
    ::unlink(to.c_str());
    return false;
  }
  return true;
}

std::string_view fileNameOf(std::string_view path) {
  const std::size_t at = path.rfind('/');
  return at == std::string_view::npos ? path : path.substr(at + 1);
}

std::string_view folderOf(std::string_view path) {
  const std::size_t at = path.rfind('/');
  return at == std::string_view::npos ? std::string_view{} : path.substr(0, at + 1);
}

std::string_view baseNameOf(std::string_view path) {
  const std::string_view name = fileNameOf(path);
  const std::size_t dot = name.rfind('.');
  return dot == std::string_view::npos ? name : name.substr(0, dot);
}

}  // namespace vidralo
