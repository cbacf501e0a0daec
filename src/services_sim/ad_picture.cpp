#include "services_sim/ad_picture.h"

#include <cstdint>
#include <vector>

namespace vidralo::sim {
namespace {

// Packs variable-width codes least significant bit first, as GIF wants.
class CodeWriter {
 public:
  void put(unsigned code, int width) {
    bits_ |= static_cast<std::uint32_t>(code) << count_;
    count_ += width;
    while (count_ >= 8) {
      bytes_.push_back(static_cast<char>(bits_ & 0xFF));
      bits_ >>= 8;
      count_ -= 8;
    }
  }
  std::string finish() {
    if (count_ > 0) bytes_.push_back(static_cast<char>(bits_ & 0xFF));
    return bytes_;
  }

 private:
  std::string bytes_;
  std::uint32_t bits_ = 0;
  int count_ = 0;
};

void putWord(std::string& out, int value) {
  out.push_back(static_cast<char>(value & 0xFF));
  out.push_back(static_cast<char>((value >> 8) & 0xFF));
}

// LZW data without compression: with a minimum code size of 2 the codes are
// 3 bits wide, and a clear code after every second pixel keeps the table from
// growing to a wider code.
std::string uncompressedLzw(const std::vector<std::uint8_t>& pixels) {
  constexpr unsigned kClear = 4;
  constexpr unsigned kEnd = 5;
  CodeWriter writer;
  for (std::size_t i = 0; i < pixels.size(); ++i) {
    if (i % 2 == 0) writer.put(kClear, 3);
    writer.put(pixels[i], 3);
  }
  writer.put(kEnd, 3);
  return writer.finish();
}

}  // namespace

std::string adPicture(int number) {
  const int w = kAdPictureWidth;
  const int h = kAdPictureHeight;
  std::vector<std::uint8_t> pixels(static_cast<std::size_t>(w * h), 0);
  // `number` bars of 4 pixels, 2 pixels apart, on the background colour.
  for (int bar = 0; bar < number; ++bar)
    for (int y = 8; y < h - 8; ++y)
      for (int x = 0; x < 4; ++x) pixels[static_cast<std::size_t>(y * w + 8 + bar * 6 + x)] = 1;

  std::string out = "GIF89a";
  putWord(out, w);
  putWord(out, h);
  out.push_back(static_cast<char>(0x81));  // global colour table of 4 entries
  out.push_back(0);
  out.push_back(0);
  const auto hue = static_cast<std::uint8_t>(number * 15);
  const std::uint8_t palette[12] = {hue, static_cast<std::uint8_t>(255 - hue), 200, 255, 255, 255, 0, 0, 0, 0, 0, 0};
  out.append(reinterpret_cast<const char*>(palette), sizeof palette);

  out.push_back(',');
  putWord(out, 0);
  putWord(out, 0);
  putWord(out, w);
  putWord(out, h);
  out.push_back(0);
  out.push_back(2);  // minimum code size
  const std::string data = uncompressedLzw(pixels);
  for (std::size_t at = 0; at < data.size(); at += 255) {
    const std::string block = data.substr(at, 255);
    out.push_back(static_cast<char>(block.size()));
    out += block;
  }
  out.push_back(0);
  out.push_back(';');
  return out;
}

}  // namespace vidralo::sim
