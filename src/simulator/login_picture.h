#pragma once
#include <string>
#include <string_view>

namespace vidralo::sim {

// An SVG picture that stands for the log-in code a phone scans: a 21 x 21
// grid of dark squares drawn from `code`, with the three corner finders of
// a QR code, so that the log-in page shows a picture the way the platform's
// does. Different codes give different pictures.
std::string loginPictureSvg(std::string_view code);

}  // namespace vidralo::sim
