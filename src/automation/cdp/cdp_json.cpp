#include "automation/cdp/cdp_json.h"

#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

namespace vidralo::cdp {
namespace {

// Malformed UTF-8 becomes U+FFFD, so that the writer never emits a message
// the browser would reject as a whole.
std::string repairUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const std::size_t length = lead < 0x80           ? 1
                               : (lead >> 5) == 0x6  ? 2
                               : (lead >> 4) == 0xE  ? 3
                               : (lead >> 3) == 0x1E ? 4
                                                     : 0;
    bool valid = length > 0 && i + length <= text.size();
    for (std::size_t k = 1; valid && k < length; ++k) valid = (static_cast<unsigned char>(text[i + k]) >> 6) == 0x2;
    if (valid) {
      out.append(text.substr(i, length));
      i += length;
    } else {
      out.append("\xEF\xBF\xBD");
      ++i;
    }
  }
  return out;
}

}  // namespace

std::string jsonString(std::string_view text) {
  const std::string clean = repairUtf8(text);
  rapidjson::StringBuffer buffer;
  rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
  writer.String(clean.data(), static_cast<rapidjson::SizeType>(clean.size()));
  return {buffer.GetString(), buffer.GetSize()};
}

struct JsonObject::Writer {
  rapidjson::StringBuffer buffer;
  rapidjson::Writer<rapidjson::StringBuffer> writer{buffer};
  void key(std::string_view name) { writer.Key(name.data(), static_cast<rapidjson::SizeType>(name.size())); }
};

JsonObject::JsonObject() : writer_(std::make_unique<Writer>()) { writer_->writer.StartObject(); }
JsonObject::~JsonObject() = default;
JsonObject::JsonObject(JsonObject&&) noexcept = default;
JsonObject& JsonObject::operator=(JsonObject&&) noexcept = default;

JsonObject& JsonObject::text(std::string_view key, std::string_view value) {
  return raw(key, jsonString(value));
}

JsonObject& JsonObject::boolean(std::string_view key, bool value) {
  writer_->key(key);
  writer_->writer.Bool(value);
  return *this;
}

JsonObject& JsonObject::integer(std::string_view key, std::int64_t value) {
  writer_->key(key);
  writer_->writer.Int64(value);
  return *this;
}

JsonObject& JsonObject::number(std::string_view key, double value) {
  writer_->key(key);
  writer_->writer.Double(value);
  return *this;
}

JsonObject& JsonObject::raw(std::string_view key, std::string_view json) {
  writer_->key(key);
  writer_->writer.RawValue(json.data(), json.size(), rapidjson::kObjectType);
  return *this;
}

std::string JsonObject::str() {
  writer_->writer.EndObject();
  return {writer_->buffer.GetString(), writer_->buffer.GetSize()};
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
