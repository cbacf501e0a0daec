#include "accounts/account_record.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "accounts/account_store.h"
#include "accounts/record_files.h"
#include "common/gbk.h"
#include "account_fixture.h"
#include "support/small_tmpfs.h"
#include "support/temp_dir.h"

namespace vidralo::test {
namespace {

using Load = AccountRecord::LoadResult;

class RecordFileTest : public AccountTest {};

TEST_F(RecordFileTest, RoundTripKeepsUnknownKeysAndReplacesKnownOnes) {
  const std::string path =
      writeRecord("100.json", R"({"昵称":"旧","缓存id":"100","额外":{"a":[1,2]},"分类1":7})");
  AccountRecord record;
  ASSERT_EQ(record.load(path), Load::Loaded);
  record.setText(recordKey::nickname, "新昵称");
  record.setInteger(recordKey::subCategory, 40);
  ASSERT_TRUE(record.save(path));

  AccountRecord reread;
  ASSERT_EQ(reread.load(path), Load::Loaded);
  EXPECT_EQ(reread.text(recordKey::nickname), "新昵称");
  EXPECT_EQ(reread.text(recordKey::accountId), "100");
  EXPECT_EQ(reread.integer(recordKey::category), 7);
  EXPECT_EQ(reread.integer(recordKey::subCategory), 40);
  EXPECT_NE(readFile(path).find("\"额外\""), std::string::npos);
  EXPECT_NE(readFile(path).find("新昵称"), std::string::npos) << "written as UTF-8, not escaped";
}

TEST_F(RecordFileTest, AcceptsByteOrderMarkAndRefusesWhatIsNotUtf8) {
  AccountRecord record;
  ASSERT_EQ(record.load(writeRecord("1.json", "\xEF\xBB\xBF{\"昵称\":\"甲\"}")), Load::Loaded);
  EXPECT_EQ(record.text(recordKey::nickname), "甲");
  // Read as GBK, one invalid byte made every key vanish, and the account
  // worked under the profile of account 100.
  const std::string damaged = "{\"昵称\":\"中文\xFF\",\"缓存id\":\"105\"}";
  for (const std::string& bytes : {damaged, utf8ToGbk("{\"昵称\":\"中文\"}")}) {
    EXPECT_EQ(record.load(writeRecord("2.json", bytes)), Load::Unreadable);
    EXPECT_EQ(record.text(recordKey::accountId), "");
  }
  EXPECT_TRUE(hasUnreadableRecord("2"));
  EXPECT_FALSE(hasUnreadableRecord("1"));
  EXPECT_FALSE(hasUnreadableRecord("999")) << "a missing record is not a damaged one";
}

TEST_F(RecordFileTest, WrongValueTypesReadSensibly) {
  AccountRecord record;
  ASSERT_EQ(record.load(writeRecord("1.json",
                                    R"({"缓存id":105,"素材目录":null,"分类1":"12abc","分类2":3.9,"标签":[1],)"
                                    R"("分类1选中项":1e300,"简介":true})")),
            Load::Loaded);
  EXPECT_EQ(record.text(recordKey::accountId), "105");
  EXPECT_EQ(record.text(recordKey::folder), "");
  EXPECT_EQ(record.integer(recordKey::category), 12);
  EXPECT_EQ(record.integer(recordKey::subCategory), 3);
  EXPECT_EQ(record.text(recordKey::tags), "");
  EXPECT_EQ(record.integer(recordKey::categoryIndex), std::numeric_limits<int>::max());
  EXPECT_EQ(record.text(recordKey::description), "");
  EXPECT_EQ(record.integer("没有这个键"), 0);
}

TEST_F(RecordFileTest, MissingFileLeavesRecordAndNonObjectEmptiesIt) {
  AccountRecord record;
  ASSERT_EQ(record.load(writeRecord("1.json", R"({"昵称":"前一个"})")), Load::Loaded);
  EXPECT_EQ(record.load(recordPath("999")), Load::Missing);
  EXPECT_EQ(record.text(recordKey::nickname), "前一个");

  for (const std::string content : {"", "   ", "{\"昵称\":\"半", "[1,2,3]", "\"text\"", "垃圾", "{} {}"}) {
    ASSERT_EQ(record.load(writeRecord("1.json", R"({"昵称":"前一个"})")), Load::Loaded);
    EXPECT_EQ(record.load(writeRecord("bad.json", content)), Load::Unreadable) << content;
    EXPECT_EQ(record.text(recordKey::nickname), "") << content;
  }
}

TEST_F(RecordFileTest, HugeAndDeeplyNestedRecordsDoNotBreakLoading) {
  AccountRecord record;
  const std::string big(kMaxRecordBytes - 100, 'x');
  ASSERT_EQ(record.load(writeRecord("big.json", "{\"简介\":\"" + big + "\",\"昵称\":\"大\"}")), Load::Loaded);
  EXPECT_EQ(record.text(recordKey::description).size(), big.size());
  EXPECT_EQ(record.text(recordKey::nickname), "大");
  EXPECT_EQ(record.load(writeRecord("big.json", "{\"简介\":\"" + big + "x" + big + "\"}")), Load::Unreadable)
      << "a record over the limit is refused unread";

  const std::string deep = "{\"x\":" + std::string(300000, '[') + std::string(300000, ']') + "}";
  EXPECT_EQ(record.load(writeRecord("deep.json", deep)), Load::Unreadable);
  // Brackets inside strings are text, not nesting.
  EXPECT_EQ(record.load(writeRecord("text.json", "{\"x\":\"" + std::string(5000, '[') + "\"}")), Load::Loaded);
}

TEST_F(RecordFileTest, SaveCreatesFoldersAndLeavesNoTemporaryFiles) {
  AccountRecord record;
  record.setText(recordKey::accountId, "100");
  ASSERT_TRUE(record.save(recordPath("100")));
  ASSERT_TRUE(record.save(recordPath("100")));
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(recordFolder()))
    names.push_back(entry.path().filename().string());
  EXPECT_EQ(names, std::vector<std::string>{"100.json"});
}

TEST_F(RecordFileTest, FailedSaveKeepsOldContent) {
  // "\data\list" is a file: nothing can be written below it.
  dir.write("data/list", "not a folder");
  AccountRecord record;
  record.setText(recordKey::nickname, "x");
  EXPECT_FALSE(record.save(recordPath("100")));
  EXPECT_EQ(readFile(dir.file("data/list")), "not a folder");
}

TEST_F(RecordFileTest, NicknameWriteBackOnAFullDiskKeepsTheOldRecord) {
  const SmallTmpfs disk(dir.file("data"), 64 * 1024);
  SKIP_UNLESS_MOUNTED(disk);
  const std::string old = R"({"昵称":"旧","缓存id":"100","素材目录":"/v"})";
  const std::string path = writeRecord("100.json", old);
  ASSERT_TRUE(disk.fill("filler"));
  EXPECT_FALSE(store.updateRecordKey("100", recordKey::nickname, std::string(8000, 'n')));
  EXPECT_EQ(readFile(path), old);
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(recordFolder()))
    names.push_back(entry.path().filename().string());
  EXPECT_EQ(names, std::vector<std::string>{"100.json"}) << "the temporary file is removed";
}

TEST_F(RecordFileTest, FailedSaveInReadOnlyFolderKeepsOldContent) {
  if (geteuid() == 0) GTEST_SKIP() << "permission bits do not stop root";
  const std::string path = writeRecord("100.json", R"({"昵称":"旧"})");
  std::filesystem::permissions(recordFolder(), std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
  AccountRecord record;
  record.setText(recordKey::nickname, "新");
  EXPECT_FALSE(record.save(path));
  EXPECT_EQ(readFile(path), R"({"昵称":"旧"})");
}

TEST(AccountIdTest, OnlyIdsThatStayInsideTheRecordFolderAreSafe) {
  for (const char* id : {"100", "a b", "账号1", ".hidden", "x.y"}) EXPECT_TRUE(isSafeAccountId(id)) << id;
  for (const char* id : {"", "../100", "..", "a/b", "a\\b", "x..y", "/etc/passwd", "a\nb", "a\x7f"})
    EXPECT_FALSE(isSafeAccountId(id)) << id;
  EXPECT_FALSE(isSafeAccountId(std::string("10\0/x", 5)));
}

TEST_F(RecordFileTest, NewIdIsTheLowestFreeOneFrom100) {
  EXPECT_EQ(newAccountId(), "100");
  writeRecord("100.json", "{}");
  writeRecord("101.json", "{}");
  writeRecord("103.json", "{}");
  EXPECT_EQ(newAccountId(), "102");
  std::filesystem::remove(recordPath("100"));
  EXPECT_EQ(newAccountId(), "100");
  std::filesystem::create_directories(recordPath("100"));  // a folder takes the name too
  EXPECT_EQ(newAccountId(), "102");
}

TEST_F(RecordFileTest, NicknameWriteBackChangesOnlyThatKeyOfAnExistingRecord) {
  writeRecord("100.json", R"({"昵称":"自动获取","素材目录":"/v","缓存id":"100","自定义":1})");
  // A record loaded before must not leak into the written file.
  writeRecord("200.json", R"({"昵称":"别人","素材目录":"/other","缓存id":"200"})");
  store.withState([&](AccountState& state) { state.record.load(recordPath("200")); });

  store.saveNickname("100", "真名");
  AccountRecord record;
  ASSERT_EQ(record.load(recordPath("100")), Load::Loaded);
  EXPECT_EQ(record.text(recordKey::nickname), "真名");
  EXPECT_EQ(record.text(recordKey::folder), "/v");
  EXPECT_EQ(record.integer("自定义"), 1);

  store.saveNickname("101", "无记录");
  EXPECT_FALSE(std::filesystem::exists(recordPath("101"))) << "no record is made from another account's values";
  EXPECT_FALSE(store.updateRecordKey("../100", recordKey::nickname, "x"));
}

}  // namespace
}  // namespace vidralo::test
