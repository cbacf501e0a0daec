#pragma once
// A fresh directory under the system's temporary folder, removed with
// everything in it when the object goes away.
#include <string>
#include <string_view>

namespace vidralo::test {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  // path() + "/" + relative
  std::string file(std::string_view relative) const;
  // Writes `bytes` to the relative path, creating parent folders.
  std::string write(std::string_view relative, std::string_view bytes) const;

 private:
  std::string path_;
};

std::string readFile(const std::string& path);

}  // namespace vidralo::test
