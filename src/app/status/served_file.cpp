#include "app/status/served_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "common/text_rules.h"

namespace vidralo {
namespace {

// Evidence pictures are a screen or two; anything larger is not ours.
constexpr off_t kLargestFile = 32 * 1024 * 1024;

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

bool plainName(const std::string& name) {
  return !name.empty() && !name.starts_with('.') && name.find_first_of(std::string("/\\\0", 3)) == std::string::npos;
}

std::string contentTypeOf(const std::string& name) {
  if (endsWith(name, ".png")) return "image/png";
  if (endsWith(name, ".txt")) return "text/plain; charset=utf-8";
  return "application/octet-stream";
}

}  // namespace

std::optional<ServedFile> readFileInside(const std::string& folder, const std::string& name) {
  if (!plainName(name)) return std::nullopt;
  const FileDescriptor directory(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  if (directory.get() < 0) return std::nullopt;
  // O_NONBLOCK: a FIFO put there must not hold the server's thread.
  const FileDescriptor file(::openat(directory.get(), name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  struct stat status {};
  if (file.get() < 0 || ::fstat(file.get(), &status) != 0 || !S_ISREG(status.st_mode) || status.st_size > kLargestFile)
    return std::nullopt;
  ServedFile served{std::string(static_cast<std::size_t>(status.st_size), '\0'), contentTypeOf(name)};
  std::size_t done = 0;
  while (done < served.content.size()) {
    const ssize_t got = ::read(file.get(), served.content.data() + done, served.content.size() - done);
    if (got <= 0) return std::nullopt;
    done += static_cast<std::size_t>(got);
  }
  return served;
}

}  // namespace vidralo
