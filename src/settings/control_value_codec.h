#pragma once
// How control values are spelled in the settings file. The encodings are
// shared with installations on Windows and must not change.
#include <string>
#include <string_view>
#include <vector>

#include "controls/control_model.h"

namespace vidralo {

inline constexpr std::string_view kLineBreakToken = "><br><";
inline constexpr std::string_view kQuoteToken = "#引号";
inline constexpr std::string_view kCheckedValue = "真";
inline constexpr std::string_view kUncheckedValue = "假";

// Each line break (CR LF, and also a lone CR or LF, which would otherwise
// split the file's line) becomes "><br><"; then each '"' becomes "#引号".
std::string encodeEditText(std::string_view text);
// "><br><" becomes CR LF, then "#引号" becomes '"'.
std::string decodeEditText(std::string_view stored);

struct ComboValue {
  std::vector<ComboItem> items;
  int index = -1;
  std::string editText;
};

// "text<|>data<||>" per item, then "index<|>edit text"; '"' becomes "#引号".
// A line break would split the file's line, so each becomes a blank.
std::string encodeComboValue(const ComboValue& value);
// The reverse, for values of any shape: "#引号" back to '"', split at "<||>";
// an item part gives the text before its first "<|>" and the number after its
// last one (7.9 -> 7, -1.5 -> -1); a part without "<|>" gives an empty text
// and 0. The last part gives the index and the edit text the same way.
ComboValue decodeComboValue(std::string_view stored);

}  // namespace vidralo
