#pragma once
// One account's record: a JSON object read from and written to a record file.
// Keys the program does not know are kept, so a record read and written back
// loses nothing.
#include <memory>
#include <string>
#include <string_view>

namespace vidralo {

namespace recordKey {
inline constexpr std::string_view nickname = "昵称";
inline constexpr std::string_view folder = "素材目录";
inline constexpr std::string_view accountId = "缓存id";
inline constexpr std::string_view category = "分类1";
inline constexpr std::string_view subCategory = "分类2";
inline constexpr std::string_view tags = "标签";
inline constexpr std::string_view description = "简介";
inline constexpr std::string_view categoryIndex = "分类1选中项";
inline constexpr std::string_view subCategoryIndex = "分类2选中项";
}  // namespace recordKey

// No real record comes near this size; a larger file is refused unread.
inline constexpr std::size_t kMaxRecordBytes = 1024 * 1024;

// The nickname a new account carries until its browser session reads the real one.
inline constexpr std::string_view kNicknamePending = "自动获取";

class AccountRecord {
 public:
  enum class LoadResult {
    Loaded,      // the record now holds the file's object
    Missing,     // no such file: the record is unchanged
    Unreadable,  // the file holds no JSON object: the record is now empty
  };

  AccountRecord();
  ~AccountRecord();
  AccountRecord(const AccountRecord&) = delete;
  AccountRecord& operator=(const AccountRecord&) = delete;
  // A moved-from record may only be assigned to or destroyed.
  AccountRecord(AccountRecord&&) noexcept;
  AccountRecord& operator=(AccountRecord&&) noexcept;

  // Records are UTF-8, with or without a byte-order mark. A file that is not
  // valid UTF-8, holds no JSON object or is larger than kMaxRecordBytes is
  // Unreadable: guessing another encoding would lose its keys, and an
  // account without its id would work under another account's profile.
  LoadResult load(const std::string& path);
  // Writes the whole object, creating missing folders. The file is replaced
  // in one step: a failed or interrupted save leaves the old content intact.
  bool save(const std::string& path) const;

  // A missing key reads as an empty text or 0. A number read as text gives
  // its decimal digits; a text read as a number is read like a typed setting.
  std::string text(std::string_view key) const;
  int integer(std::string_view key) const;
  void setText(std::string_view key, std::string_view value);
  void setInteger(std::string_view key, int value);

  std::string toJson() const;

 private:
  struct Document;
  std::unique_ptr<Document> document_;
};

}  // namespace vidralo
