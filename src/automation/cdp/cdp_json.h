#pragma once
// Building the JSON texts of protocol commands. Every text goes through the
// JSON writer, so selectors, page texts and paths can never break out of the
// string they are written into.
#include <cstdint>
#include <string>
#include <string_view>

#include <rapidjson/document.h>

namespace vidralo::cdp {

// `text` as a JSON string literal, quotes included ("a\"b" for a"b). The text
// is UTF-8; invalid sequences are replaced rather than passed on raw.
std::string jsonString(std::string_view text);

// A JSON object written member by member: JsonObject().text("url", u).str().
class JsonObject {
 public:
  // `capacity`: the bytes the object is expected to take, so that a long
  // member (a script, a command's parameters) is copied once.
  explicit JsonObject(std::size_t capacity = 256);
  // An object whose first member is `json` under `key`, written on in the
  // memory `json` came in (room reserved there is room to grow).
  JsonObject(std::string_view key, std::string json);

  JsonObject& text(std::string_view key, std::string_view value);
  JsonObject& boolean(std::string_view key, bool value);
  JsonObject& integer(std::string_view key, std::int64_t value);
  JsonObject& number(std::string_view key, double value);
  // `json` must itself be valid JSON (an object built here, a jsonString...).
  JsonObject& raw(std::string_view key, std::string_view json);
  // The finished object; the builder may not be used afterwards.
  std::string str();

 private:
  void key(std::string_view name);
  std::string text_;
};

// Member lookups that read a missing or mistyped member as empty.
const rapidjson::Value* member(const rapidjson::Value& object, const char* name);
std::string stringMember(const rapidjson::Value& object, const char* name);
std::int64_t integerMember(const rapidjson::Value& object, const char* name, std::int64_t fallback = 0);

}  // namespace vidralo::cdp
