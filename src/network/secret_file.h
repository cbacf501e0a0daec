#pragma once
// A file that only its owner may read, for handing a password to a command
// without putting it on the command line (where any user can read it).
// Removed, with its private folder, when the object goes away; locked while
// it lives, so that the clean-up after a kill passes over it.
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

  // Removes the files (and their folders) of this user that a killed
  // process left in the temporary folder. Returns how many were removed.
  static int removeStranded();

 private:
  std::string folder_;
  std::string path_;
  int fd_ = -1;
};

}  // namespace vidralo
