#include "support/temp_dir.h"

#include "support/processes.h"

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace vidralo::test {

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "vidralo-test-XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
  recordTemporaryFolder(path_);
}

TempDir::~TempDir() {
  std::error_code error;
  // Read-only folders made by a test must not keep their contents alive.
  for (auto it = std::filesystem::recursive_directory_iterator(path_, error);
       !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error))
    std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all, std::filesystem::perm_options::add,
                                 error);
  std::filesystem::remove_all(path_, error);
}

std::string TempDir::file(std::string_view relative) const { return path_ + "/" + std::string(relative); }

std::string TempDir::write(std::string_view relative, std::string_view bytes) const {
  const std::string target = file(relative);
  std::filesystem::create_directories(std::filesystem::path(target).parent_path());
  std::ofstream out(target, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return target;
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace vidralo::test
