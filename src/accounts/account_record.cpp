#include "accounts/account_record.h"

#include <rapidjson/document.h>
#include <rapidjson/prettywriter.h>
#include <rapidjson/stringbuffer.h>

#include <cmath>
#include <filesystem>
#include <limits>

#include "common/gbk.h"
#include "common/text_rules.h"
#include "common/whole_file.h"
#include "log/file_replace.h"

namespace vidralo {
namespace {

// RapidJSON builds, writes and frees values recursively; a record nested
// deeper than any real one could exhaust the stack, so it is refused unread.
constexpr int kMaxNesting = 256;

bool nestingWithinLimit(std::string_view text) {
  int depth = 0;
  bool inString = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (inString) {
      if (c == '\\')
        ++i;
      else if (c == '"')
        inString = false;
    } else if (c == '"') {
      inString = true;
    } else if (c == '{' || c == '[') {
      if (++depth > kMaxNesting) return false;
    } else if (c == '}' || c == ']') {
      --depth;
    }
  }
  return true;
}

rapidjson::Value keyRef(std::string_view key) {
  return rapidjson::Value(rapidjson::StringRef(key.data(), static_cast<rapidjson::SizeType>(key.size())));
}

int clampToInt(double value) {
  if (std::isnan(value)) return 0;
  if (value >= std::numeric_limits<int>::max()) return std::numeric_limits<int>::max();
  if (value <= std::numeric_limits<int>::min()) return std::numeric_limits<int>::min();
  return static_cast<int>(value);
}

}  // namespace

struct AccountRecord::Document {
  rapidjson::Document json;

  Document() { json.SetObject(); }

  const rapidjson::Value* find(std::string_view key) const {
    auto member = json.FindMember(keyRef(key));
    return member == json.MemberEnd() ? nullptr : &member->value;
  }

  void set(std::string_view key, rapidjson::Value value) {
    auto member = json.FindMember(keyRef(key));
    if (member != json.MemberEnd()) {
      member->value = std::move(value);
      return;
    }
    rapidjson::Value name(key.data(), static_cast<rapidjson::SizeType>(key.size()), json.GetAllocator());
    json.AddMember(name, value, json.GetAllocator());
  }
};

AccountRecord::AccountRecord() : document_(std::make_unique<Document>()) {}
AccountRecord::~AccountRecord() = default;
AccountRecord::AccountRecord(AccountRecord&&) noexcept = default;
AccountRecord& AccountRecord::operator=(AccountRecord&&) noexcept = default;

AccountRecord::LoadResult AccountRecord::load(const std::string& path) {
  std::error_code error;
  if (std::filesystem::is_directory(path, error)) return LoadResult::Missing;
  std::string bytes;
  const ReadOutcome read = readWholeFile(path, bytes, kMaxRecordBytes);
  if (read == ReadOutcome::Missing) return LoadResult::Missing;
  std::string_view text = bytes;
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);

  auto loaded = std::make_unique<Document>();
  if (read != ReadOutcome::Read || !isValidUtf8(text) || !nestingWithinLimit(text) ||
      loaded->json.Parse(text.data(), text.size()).HasParseError() || !loaded->json.IsObject()) {
    document_ = std::make_unique<Document>();
    return LoadResult::Unreadable;
  }
  document_ = std::move(loaded);
  return LoadResult::Loaded;
}

std::string AccountRecord::toJson() const {
  rapidjson::StringBuffer buffer;
  rapidjson::PrettyWriter<rapidjson::StringBuffer> writer(buffer);
  writer.SetIndent(' ', 4);
  document_->json.Accept(writer);
  return std::string(buffer.GetString(), buffer.GetSize());
}

bool AccountRecord::save(const std::string& path) const {
  std::error_code error;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path(), error);
  // A record names the account and its folders: its owner's only.
  return replaceFileContents(path, toJson(), 0600);
}

std::string AccountRecord::text(std::string_view key) const {
  const rapidjson::Value* value = document_->find(key);
  if (!value) return {};
  if (value->IsString()) return std::string(value->GetString(), value->GetStringLength());
  if (value->IsInt64()) return numberToText(value->GetInt64());
  if (value->IsUint64()) return std::to_string(value->GetUint64());
  if (value->IsDouble() && std::abs(value->GetDouble()) < 9e18)
    return numberToText(static_cast<std::int64_t>(value->GetDouble()));
  return {};
}

int AccountRecord::integer(std::string_view key) const {
  const rapidjson::Value* value = document_->find(key);
  if (!value) return 0;
  if (value->IsNumber()) return clampToInt(value->GetDouble());
  if (value->IsString()) return toInteger(std::string_view(value->GetString(), value->GetStringLength()));
  return 0;
}

void AccountRecord::setText(std::string_view key, std::string_view value) {
  document_->set(key, rapidjson::Value(value.data(), static_cast<rapidjson::SizeType>(value.size()),
                                       document_->json.GetAllocator()));
}

void AccountRecord::setInteger(std::string_view key, int value) { document_->set(key, rapidjson::Value(value)); }

}  // namespace vidralo
