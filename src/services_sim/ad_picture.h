#pragma once
// The advertisement pictures "tool/ad1.gif" .. "tool/ad17.gif": small GIF
// images that differ from one another (a colour and a count of bars), so a
// test or an operator can tell which one was drawn.
#include <string>

namespace vidralo::sim {

inline constexpr int kAdPictureCount = 17;
inline constexpr int kAdPictureWidth = 120;
inline constexpr int kAdPictureHeight = 48;

// The bytes of picture `number` (1..17).
std::string adPicture(int number);

}  // namespace vidralo::sim
