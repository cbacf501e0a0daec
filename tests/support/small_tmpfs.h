#pragma once
// A small tmpfs mounted over a folder for the lifetime of the object, to
// fill a file system for real. Needs root; where mounting is not allowed
// the test skips itself with a message.
#include <cstddef>
#include <string>

namespace vidralo::test {

class SmallTmpfs {
 public:
  // Mounts a tmpfs of `bytes` at `folder` (created when missing).
  SmallTmpfs(std::string folder, std::size_t bytes);
  ~SmallTmpfs();
  SmallTmpfs(const SmallTmpfs&) = delete;
  SmallTmpfs& operator=(const SmallTmpfs&) = delete;

  bool mounted() const { return mounted_; }
  // Why mounting failed.
  const std::string& error() const { return error_; }
  // Writes one file of zeros until the file system has no room left; true
  // when it is full.
  bool fill(const std::string& fileName) const;
  // Makes the mount read-only; true on success.
  bool makeReadOnly() const;

 private:
  std::string folder_;
  bool mounted_ = false;
  std::string error_;
};

}  // namespace vidralo::test

// Skips the running test when the tmpfs could not be mounted.
#define SKIP_UNLESS_MOUNTED(tmpfs) \
  if (!(tmpfs).mounted()) GTEST_SKIP() << "a tmpfs cannot be mounted here (" << (tmpfs).error() << ")"
