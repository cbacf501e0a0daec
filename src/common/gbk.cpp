#include "common/gbk.h"

#include <iconv.h>

#include <cerrno>
#include <cstdint>

namespace vidralo {
namespace {

// One iconv conversion of a whole text. For each input sequence the
// converter cannot take, `onInvalid` is appended and the sequence is skipped:
// one byte of GBK input, one whole character of UTF-8 input.
std::string convert(const char* to, const char* from, std::string_view in, std::string_view onInvalid,
                    bool utf8Input) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return std::string(in);
  std::string out;
  out.reserve(in.size() * 3 / 2 + 8);
  char* src = const_cast<char*>(in.data());
  std::size_t srcLeft = in.size();
  char buffer[4096];
  while (srcLeft > 0) {
    char* dst = buffer;
    std::size_t dstLeft = sizeof buffer;
    std::size_t rc = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    out.append(buffer, static_cast<std::size_t>(dst - buffer));
    if (rc != static_cast<std::size_t>(-1) || errno == E2BIG) continue;
    out.append(onInvalid);
    ++src;
    --srcLeft;
    while (utf8Input && srcLeft > 0 && (static_cast<unsigned char>(*src) & 0xC0) == 0x80) {
      ++src;
      --srcLeft;
    }
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
  }
  iconv_close(cd);
  return out;
}

bool isAscii(std::string_view text) {
  for (unsigned char c : text)
    if (c >= 0x80) return false;
  return true;
}

}  // namespace

std::string gbkToUtf8(std::string_view gbk) {
  if (isAscii(gbk)) return std::string(gbk);
  return convert("UTF-8", "GBK", gbk, "\xEF\xBF\xBD", false);
}

std::string utf8ToGbk(std::string_view utf8) {
  if (isAscii(utf8)) return std::string(utf8);
  return convert("GBK", "UTF-8", utf8, "?", true);
}

std::string charsetToUtf8(std::string_view bytes, const std::string& charset) {
  return convert("UTF-8", charset.c_str(), bytes, "\xEF\xBF\xBD", false);
}

bool isValidUtf8(std::string_view text) {
  std::size_t i = 0;
  const std::size_t n = text.size();
  while (i < n) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    std::size_t len;
    std::uint32_t cp;
    if (c < 0x80) {
      ++i;
      continue;
    } else if ((c & 0xE0) == 0xC0) {
      len = 2;
      cp = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
      len = 3;
      cp = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
      len = 4;
      cp = c & 0x07;
    } else {
      return false;
    }
    if (i + len > n) return false;
    for (std::size_t k = 1; k < len; ++k) {
      unsigned char cc = static_cast<unsigned char>(text[i + k]);
      if ((cc & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (cc & 0x3F);
    }
    // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
    if ((len == 2 && cp < 0x80) || (len == 3 && cp < 0x800) || (len == 4 && cp < 0x10000) || cp > 0x10FFFF ||
        (cp >= 0xD800 && cp <= 0xDFFF))
      return false;
    i += len;
  }
  return true;
}

std::string decodeUtf8OrGbk(std::string_view bytes) {
  if (bytes.starts_with("\xEF\xBB\xBF")) bytes.remove_prefix(3);
  if (isValidUtf8(bytes)) return std::string(bytes);
  return gbkToUtf8(bytes);
}

}  // namespace vidralo
