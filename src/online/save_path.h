#pragma once
// How the downloader turns its save path and the URL into the file it writes.
#include <functional>
#include <string>
#include <string_view>

namespace vidralo {

// A save path whose last component has no "." names a directory: the remote
// file name is appended with a "/" in between. If the result still contains
// no "." anywhere, "/" and its last component are appended once more.
// `remoteName` is asked only for a directory.
std::string completeSavePath(std::string savePath, const std::function<std::string()>& remoteName);

// The file name in an address or a Content-Location text: cut at the first
// "?", "\" read as "/", the text after the last "/".
std::string fileNameInAddress(std::string_view address);

}  // namespace vidralo
