#pragma once
// The text of a fetched page in UTF-8, decided by the charset its markup
// declares.
#include <string>
#include <string_view>

namespace vidralo {

// The first group of "<meta.+?charset=[^\w]?([-\w]+)" (case-insensitive) in
// the bytes; empty when the page declares none.
std::string declaredCharset(std::string_view page);

// gbk and gb2312 are converted from GBK, utf-8 is kept, any other declared
// charset goes through iconv; without a declaration the bytes stay as they
// are.
std::string pageTextToUtf8(std::string_view page);

}  // namespace vidralo
