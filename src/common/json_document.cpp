#include "common/json_document.h"

#include <rapidjson/document.h>
#include <rapidjson/error/en.h>
#include <rapidjson/pointer.h>

#include "common/gbk.h"
#include "common/text_rules.h"

namespace vidralo {

struct JsonDocument::Parsed {
  rapidjson::Document document;
};

JsonDocument::JsonDocument() = default;
JsonDocument::~JsonDocument() = default;

bool JsonDocument::loaded() const { return document_ != nullptr; }

bool JsonDocument::tryParse(const std::string& text) {
  auto parsed = std::make_unique<Parsed>();
  // Invalid UTF-8 is refused, so that a GBK text reaches the re-encoding step
  // instead of being kept with broken strings.
  parsed->document.Parse<rapidjson::kParseValidateEncodingFlag>(text.c_str(), text.size());
  if (parsed->document.HasParseError()) return false;
  document_ = std::move(parsed);
  source_ = text;
  return true;
}

std::string repairBackslashes(std::string_view text) {
  std::string repaired = replaceAll(text, "\\u", "%%%%u");
  repaired = replaceAll(repaired, "\\\\", "/$$$$/");
  repaired = replaceAll(repaired, "\\", "\\\\");
  repaired = replaceAll(repaired, "%%%%u", "\\u");
  repaired = replaceAll(repaired, "/$$$$/", "\\\\");
  return replaceAll(repaired, "\\\\\\u", "\\\\\\\\\\u");
}

bool JsonDocument::loadText(std::string_view input) {
  document_.reset();
  source_.clear();
  const std::string_view head = input.substr(0, 100);
  if (head.size() < 2) return false;
  if (head.find('{') == std::string_view::npos && head.find('[') == std::string_view::npos) return false;

  std::string text(input);
  if (tryParse(text)) return true;
  text = repairBackslashes(text);
  if (tryParse(text)) return true;
  // Program texts are UTF-8, so the only re-encoding that can help is a GBK
  // text becoming UTF-8; a valid UTF-8 text has nothing left to try.
  if (isValidUtf8(text)) return false;
  return tryParse(gbkToUtf8(text));
}

std::string toJsonPointer(std::string_view path) {
  // Placeholders for escaped separators while the others are rewritten.
  static constexpr std::string_view kDot = "\xE2\x98\x85";    // ★
  static constexpr std::string_view kSlash = "\xE2\x98\x86";  // ☆
  std::string pointer = replaceAll(path, "\\.", kDot);
  pointer = replaceAll(pointer, "\\/", kSlash);
  pointer = replaceAll(pointer, ".", "/");
  pointer = replaceAll(pointer, "[", "/");
  pointer = replaceAll(pointer, "]", "/");
  pointer = replaceAll(pointer, kDot, ".");
  pointer = replaceAll(pointer, kSlash, "/");
  pointer = replaceAll("/" + pointer, "//", "/");
  if (!pointer.empty() && pointer.back() == '/') pointer.pop_back();
  return pointer.empty() ? "/" : pointer;
}

std::string JsonDocument::getText(std::string_view name, std::string_view defaultText) const {
  std::string value;
  if (document_) {
    const rapidjson::Value* found = nullptr;
    const rapidjson::Document& doc = document_->document;
    if (name.find_first_of("./[") != std::string_view::npos) {
      rapidjson::Pointer pointer(toJsonPointer(name).c_str());
      if (pointer.IsValid()) found = pointer.Get(doc);
    } else if (doc.IsObject()) {
      auto member = doc.FindMember(rapidjson::Value(name.data(), static_cast<rapidjson::SizeType>(name.size())));
      if (member != doc.MemberEnd()) found = &member->value;
    }
    if (found && found->IsString()) value.assign(found->GetString(), found->GetStringLength());
  }
  if (value.empty() && !defaultText.empty()) return std::string(defaultText);
  return value;
}

}  // namespace vidralo
