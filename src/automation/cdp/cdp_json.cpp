#include "automation/cdp/cdp_json.h"

#include <rapidjson/writer.h>

#include <algorithm>
#include <cstring>

namespace vidralo::cdp {
namespace {

// The length of the well-formed UTF-8 sequence at the start of `text`, or 0.
std::size_t sequenceLength(std::string_view text) {
  const auto lead = static_cast<unsigned char>(text[0]);
  const std::size_t length = lead < 0x80           ? 1
                             : (lead >> 5) == 0x6  ? 2
                             : (lead >> 4) == 0xE  ? 3
                             : (lead >> 3) == 0x1E ? 4
                                                   : 0;
  if (length == 0 || length > text.size()) return 0;
  for (std::size_t k = 1; k < length; ++k)
    if ((static_cast<unsigned char>(text[k]) >> 6) != 0x2) return 0;
  return length;
}

// Whether `text` is well-formed UTF-8 throughout.
bool isSoundUtf8(std::string_view text) {
  constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;
  std::size_t i = 0;
  while (i < text.size()) {
    if (i + 8 <= text.size()) {  // eight ASCII bytes at a time
      std::uint64_t word;
      std::memcpy(&word, text.data() + i, 8);
      if ((word & kHighBits) == 0) {
        i += 8;
        continue;
      }
    }
    const std::size_t length = sequenceLength(text.substr(i));
    if (length == 0) return false;
    i += length;
  }
  return true;
}

// Malformed UTF-8 becomes U+FFFD, so that the writer never emits a message
// the browser would reject as a whole.
std::string repairUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  while (!text.empty()) {
    const std::size_t length = sequenceLength(text);
    out.append(length ? text.substr(0, length) : std::string_view("\xEF\xBF\xBD"));
    text.remove_prefix(length ? length : 1);
  }
  return out;
}

// The writer's output goes straight into the text being built, so a finished
// object is handed over without a copy.
struct StringOutput {
  using Ch = char;
  std::string& text;
  void Put(char c) { text.push_back(c); }
  void Flush() {}
};

// Whether `text` is plain ASCII that JSON takes as it stands (no control
// characters, quotes or backslashes): names, ids, most selectors.
bool isPlainAscii(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return c >= 0x20 && c != '"' && c != '\\'; });
}

// Escapes sound UTF-8 as it stands; a text with malformed bytes is repaired
// first (rare: page texts and paths are UTF-8 already).
void writeString(std::string& out, std::string_view text) {
  if (isPlainAscii(text)) {
    out.push_back('"');
    out.append(text);
    out.push_back('"');
    return;
  }
  StringOutput output{out};
  rapidjson::Writer<StringOutput> writer(output);
  if (isSoundUtf8(text)) {
    writer.String(text.data(), static_cast<rapidjson::SizeType>(text.size()));
  } else {
    const std::string clean = repairUtf8(text);
    writer.String(clean.data(), static_cast<rapidjson::SizeType>(clean.size()));
  }
}

}  // namespace

std::string jsonString(std::string_view text) {
  std::string literal;
  literal.reserve(text.size() + 2);
  writeString(literal, text);
  return literal;
}

JsonObject::JsonObject(std::size_t capacity) {
  text_.reserve(capacity);
  text_.push_back('{');
}

JsonObject::JsonObject(std::string_view key, std::string json) {
  std::string front = "{";
  writeString(front, key);
  front.push_back(':');
  text_ = std::move(json);
  text_.insert(0, front);
}

void JsonObject::key(std::string_view name) {
  if (text_.size() > 1) text_.push_back(',');
  writeString(text_, name);
  text_.push_back(':');
}

JsonObject& JsonObject::text(std::string_view key, std::string_view value) {
  this->key(key);
  writeString(text_, value);
  return *this;
}

JsonObject& JsonObject::boolean(std::string_view key, bool value) {
  return raw(key, value ? "true" : "false");
}

JsonObject& JsonObject::integer(std::string_view key, std::int64_t value) {
  return raw(key, std::to_string(value));
}

JsonObject& JsonObject::number(std::string_view key, double value) {
  this->key(key);
  StringOutput output{text_};
  rapidjson::Writer<StringOutput>(output).Double(value);
  return *this;
}

JsonObject& JsonObject::raw(std::string_view key, std::string_view json) {
  this->key(key);
  text_.append(json);
  return *this;
}

std::string JsonObject::str() {
  text_.push_back('}');
  return std::move(text_);
}

const rapidjson::Value* member(const rapidjson::Value& object, const char* name) {
  if (!object.IsObject()) return nullptr;
  auto it = object.FindMember(name);
  return it == object.MemberEnd() ? nullptr : &it->value;
}

std::string stringMember(const rapidjson::Value& object, const char* name) {
  const rapidjson::Value* value = member(object, name);
  return value && value->IsString() ? std::string(value->GetString(), value->GetStringLength()) : std::string();
}

std::int64_t integerMember(const rapidjson::Value& object, const char* name, std::int64_t fallback) {
  const rapidjson::Value* value = member(object, name);
  if (!value) return fallback;
  if (value->IsInt64()) return value->GetInt64();
  if (value->IsNumber()) return static_cast<std::int64_t>(value->GetDouble());
  return fallback;
}

}  // namespace vidralo::cdp
