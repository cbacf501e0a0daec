#pragma once
// A file that only its owner may read, for handing a password to a command
// without putting it on the command line (where any user can read it).
// Removed, with its private folder, when the object goes away.
#include <string>

namespace vidralo {

class SecretFile {
 public:
  explicit SecretFile(const std::string& content);
  ~SecretFile();
  SecretFile(const SecretFile&) = delete;
  SecretFile& operator=(const SecretFile&) = delete;

  // Empty when the file could not be written.
  const std::string& path() const { return path_; }

 private:
  std::string folder_;
  std::string path_;
};

}  // namespace vidralo
