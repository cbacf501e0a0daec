#include "simulator/login_picture.h"

#include <algorithm>
#include <cstdint>

namespace vidralo::sim {
namespace {

constexpr int kModules = 21;
constexpr int kModulePixels = 8;
constexpr int kFinder = 7;

bool inFinder(int x, int y) {
  const auto near = [](int v) { return v < kFinder || v >= kModules - kFinder; };
  return near(x) && near(y) && !(x >= kModules - kFinder && y >= kModules - kFinder);
}

// The finder pattern: a dark ring, a light ring, a dark 3 x 3 centre.
bool finderDark(int x, int y) {
  const int fx = x >= kModules - kFinder ? x - (kModules - kFinder) : x;
  const int fy = y >= kModules - kFinder ? y - (kModules - kFinder) : y;
  const int ring = std::min(std::min(fx, fy), std::min(kFinder - 1 - fx, kFinder - 1 - fy));
  return ring != 1;
}

}  // namespace

std::string loginPictureSvg(std::string_view code) {
  // FNV-1a seeds a small generator, so the same code always gives the same picture.
  std::uint64_t state = 1469598103934665603ull;
  for (const char c : code) state = (state ^ static_cast<unsigned char>(c)) * 1099511628211ull;
  const int side = kModules * kModulePixels;
  std::string svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + std::to_string(side) + "\" height=\"" +
                    std::to_string(side) + "\"><rect width=\"100%\" height=\"100%\" fill=\"#fff\"/>";
  for (int y = 0; y < kModules; ++y) {
    for (int x = 0; x < kModules; ++x) {
      state ^= state << 13;
      state ^= state >> 7;
      state ^= state << 17;
      const bool dark = inFinder(x, y) ? finderDark(x, y) : (state & 1) != 0;
      if (!dark) continue;
      svg += "<rect x=\"" + std::to_string(x * kModulePixels) + "\" y=\"" + std::to_string(y * kModulePixels) +
             "\" width=\"" + std::to_string(kModulePixels) + "\" height=\"" + std::to_string(kModulePixels) + "\"/>";
    }
  }
  return svg + "</svg>";
}

}  // namespace vidralo::sim
