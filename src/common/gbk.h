#pragma once
// GBK (code page 936) at the boundary of files that operators move between
// installations. Inside the program every text is UTF-8.
#include <string>
#include <string_view>

namespace vidralo {

// Bytes that are not valid GBK become U+FFFD; the conversion never fails.
std::string gbkToUtf8(std::string_view gbk);

// Characters GBK cannot represent, and invalid UTF-8 bytes, become '?'.
std::string utf8ToGbk(std::string_view utf8);

// `bytes` in the named iconv charset as UTF-8; a charset iconv does not know
// leaves the bytes as they are, invalid input becomes U+FFFD.
std::string charsetToUtf8(std::string_view bytes, const std::string& charset);

bool isValidUtf8(std::string_view text);

// A file's bytes as program text: a UTF-8 byte-order mark is dropped, valid
// UTF-8 is taken as it is, anything else is read as GBK.
std::string decodeUtf8OrGbk(std::string_view bytes);

}  // namespace vidralo
