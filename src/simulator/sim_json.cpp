#include "simulator/sim_json.h"

#include "common/text_rules.h"

namespace vidralo::sim {

std::string jsonString(std::string_view value) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string out = "\"";
  for (char ch : value) {
    const auto c = static_cast<unsigned char>(ch);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += ch;
    } else if (c < 0x20 || c == '<') {
      out += "\\u00";
      out += kDigits[c >> 4];
      out += kDigits[c & 15];
    } else {
      out += ch;
    }
  }
  return out + "\"";
}

void JsonObjectText::name(std::string_view member) {
  if (!members_.empty()) members_ += ',';
  members_ += jsonString(member) + ':';
}

JsonObjectText& JsonObjectText::add(std::string_view member, std::string_view value) {
  name(member);
  members_ += jsonString(value);
  return *this;
}

JsonObjectText& JsonObjectText::add(std::string_view member, std::int64_t value) {
  name(member);
  members_ += numberToText(value);
  return *this;
}

JsonObjectText& JsonObjectText::add(std::string_view member, bool value) {
  name(member);
  members_ += value ? "true" : "false";
  return *this;
}

JsonObjectText& JsonObjectText::addNull(std::string_view member) {
  name(member);
  members_ += "null";
  return *this;
}

std::string JsonObjectText::text() const { return "{" + members_ + "}"; }

std::string publicationsJson(const std::vector<Publication>& publications) {
  std::string out = "[";
  for (const Publication& p : publications) {
    if (out.size() > 1) out += ',';
    out += JsonObjectText()
               .add("nickname", p.nickname)
               .add("fileName", p.fileName)
               .add("byteSize", p.byteSize)
               .add("title", p.title)
               .text();
  }
  return out + "]";
}

}  // namespace vidralo::sim
