#pragma once
// Files the status page hands out (failure evidence, log-in pictures): only a
// regular file directly inside one folder, never through a symbolic link and
// never by a name that walks out of it.
#include <optional>
#include <string>

namespace vidralo {

struct ServedFile {
  std::string content;
  std::string contentType;
};

std::optional<ServedFile> readFileInside(const std::string& folder, const std::string& name);

}  // namespace vidralo
