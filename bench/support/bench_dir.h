#pragma once
// A folder of the benchmark's own: made afresh under the temporary directory
// with a unique name (mkdtemp), so a benchmark never touches a folder another
// program may own, and removed with everything in it when it goes.
#include <stdlib.h>

#include <filesystem>
#include <stdexcept>
#include <string>

namespace vidralo::bench {

class BenchDir {
 public:
  explicit BenchDir(const std::string& prefix) {
    std::string pattern = (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX")).string();
    if (!::mkdtemp(pattern.data())) throw std::runtime_error("cannot make a folder for " + prefix);
    path_ = pattern;
  }
  ~BenchDir() {
    std::error_code error;
    std::filesystem::remove_all(path_, error);
  }
  BenchDir(const BenchDir&) = delete;
  BenchDir& operator=(const BenchDir&) = delete;

  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace vidralo::bench
