#include "online/save_path.h"

#include <algorithm>

namespace vidralo {
namespace {

std::string_view lastComponent(std::string_view path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

void appendSeparator(std::string& path) {
  if (path.empty() || path.back() != '/') path += '/';
}

}  // namespace

std::string completeSavePath(std::string savePath, const std::function<std::string()>& remoteName) {
  if (lastComponent(savePath).find('.') != std::string_view::npos) return savePath;
  appendSeparator(savePath);
  savePath += remoteName();
  if (savePath.find('.') == std::string::npos) {
    const std::string last(lastComponent(savePath));
    appendSeparator(savePath);
    savePath += last;
  }
  return savePath;
}

std::string fileNameInAddress(std::string_view address) {
  // The query is cut first, so a "/" inside it cannot pose as a folder.
  std::string text(address.substr(0, address.find('?')));
  std::replace(text.begin(), text.end(), '\\', '/');
  return std::string(lastComponent(text));
}

}  // namespace vidralo
