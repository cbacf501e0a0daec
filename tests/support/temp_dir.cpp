#include "support/temp_dir.h"

#include "support/processes.h"

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace vidralo::test {
namespace {

// Read-only folders made by a test must not keep their contents alive.
void removeTree(const std::string& path) {
  std::error_code error;
  for (auto it = std::filesystem::recursive_directory_iterator(path, error);
       !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error))
    std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all, std::filesystem::perm_options::add,
                                 error);
  std::filesystem::remove_all(path, error);
}

std::string makeFolder(const std::filesystem::path& parent) {
  std::string pattern = (parent / "vidralo-test-XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  return pattern;
}

// The folders of one test process lie in a root folder of its own, removed
// when the process ends. A death test's child runs its test again from the
// start and ends inside it, so its own folders would outlive it: it finds
// its parent's root in the environment and makes them there instead. The
// root is also the temporary directory (TMPDIR) of everything the process
// starts from then on: a browser killed on purpose leaves its socket folder
// there.
class TemporaryRoot {
 public:
  TemporaryRoot() {
    if (const char* inherited = std::getenv(kVariable); inherited && *inherited) {
      path_ = inherited;
      return;
    }
    path_ = makeFolder(std::filesystem::temp_directory_path());
    owned_ = true;
    ::setenv(kVariable, path_.c_str(), 1);
    ::setenv("TMPDIR", path_.c_str(), 1);
  }
  ~TemporaryRoot() {
    if (owned_) removeTree(path_);
  }
  const std::string& path() const { return path_; }

 private:
  static constexpr const char* kVariable = "VIDRALO_TEST_TEMPORARY_ROOT";
  std::string path_;
  bool owned_ = false;
};

}  // namespace

TempDir::TempDir() {
  static const TemporaryRoot root;
  path_ = makeFolder(root.path());
  recordTemporaryFolder(path_);
}

TempDir::~TempDir() { removeTree(path_); }

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
