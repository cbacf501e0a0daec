#include "log/log_rotation.h"

#include <filesystem>

namespace vidralo {

void rotateWhenLarger(const std::string& path, std::uintmax_t limitBytes, int kept) {
  std::error_code error;
  const std::uintmax_t size = std::filesystem::file_size(path, error);
  if (error || size <= limitBytes) return;
  auto numbered = [&path](int n) { return path + "." + std::to_string(n); };
  std::filesystem::remove(numbered(kept), error);
  for (int n = kept - 1; n >= 1; --n) std::filesystem::rename(numbered(n), numbered(n + 1), error);
  if (kept >= 1)
    std::filesystem::rename(path, numbered(1), error);
  else
    std::filesystem::remove(path, error);
}

}  // namespace vidralo
