#include "settings/control_value_codec.h"

#include "common/text_rules.h"

namespace vidralo {
namespace {

constexpr std::string_view kFieldSeparator = "<|>";
constexpr std::string_view kItemSeparator = "<||>";

// Every CR LF, lone CR and lone LF replaced by `replacement`.
std::string replaceLineBreaks(std::string_view text, std::string_view replacement) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r') {
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
      out += replacement;
    } else if (text[i] == '\n') {
      out += replacement;
    } else {
      out += text[i];
    }
  }
  return out;
}

std::string_view beforeFirstSeparator(std::string_view part) {
  const std::size_t at = part.find(kFieldSeparator);
  return at == std::string_view::npos ? std::string_view() : part.substr(0, at);
}

std::string_view afterLastSeparator(std::string_view part) {
  const std::size_t at = part.rfind(kFieldSeparator);
  return at == std::string_view::npos ? std::string_view() : part.substr(at + kFieldSeparator.size());
}

}  // namespace

std::string encodeEditText(std::string_view text) {
  return replaceAll(replaceLineBreaks(text, kLineBreakToken), "\"", kQuoteToken);
}

std::string decodeEditText(std::string_view stored) {
  return replaceAll(replaceAll(stored, kLineBreakToken, "\r\n"), kQuoteToken, "\"");
}

std::string encodeComboValue(const ComboValue& value) {
  std::string out;
  for (const ComboItem& item : value.items) {
    out += item.text;
    out += kFieldSeparator;
    out += numberToText(item.data);
    out += kItemSeparator;
  }
  out += numberToText(value.index);
  out += kFieldSeparator;
  out += value.editText;
  return replaceAll(replaceLineBreaks(out, " "), "\"", kQuoteToken);
}

ComboValue decodeComboValue(std::string_view stored) {
  const std::string text = replaceAll(stored, kQuoteToken, "\"");
  std::vector<std::string_view> parts;
  std::string_view rest = text;
  for (std::size_t at; (at = rest.find(kItemSeparator)) != std::string_view::npos;) {
    parts.push_back(rest.substr(0, at));
    rest.remove_prefix(at + kItemSeparator.size());
  }
  parts.push_back(rest);

  // The integer part of a stored number: digits up to the first other
  // character, which for "7.9" and "-1.5" is the truncation toward zero.
  ComboValue value;
  for (std::size_t i = 0; i + 1 < parts.size(); ++i)
    value.items.push_back({std::string(beforeFirstSeparator(parts[i])), toInteger(afterLastSeparator(parts[i]))});
  value.index = toInteger(beforeFirstSeparator(parts.back()));
  value.editText = std::string(afterLastSeparator(parts.back()));
  return value;
}

}  // namespace vidralo
