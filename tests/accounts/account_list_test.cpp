#include "accounts/account_list.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <atomic>
#include <filesystem>
#include <future>
#include <thread>

#include "accounts/account_editor.h"
#include "account_fixture.h"

namespace vidralo::test {
namespace {

class AccountListTest : public AccountTest {
 protected:
  std::vector<std::string> column(int index) {
    std::vector<std::string> values;
    for (int row = 0; row < controls.rowCount(); ++row) values.push_back(controls.cell(row, index));
    return values;
  }
  void writeAccount(const std::string& fileId, const std::string& cacheId, const std::string& nickname = "nick") {
    writeRecord(fileId + ".json",
                R"({"昵称":")" + nickname + R"(","素材目录":"/v)" + fileId + R"(","缓存id":")" + cacheId + R"("})");
  }
  using Strings = std::vector<std::string>;
};

TEST_F(AccountListTest, ReloadShowsOneNumberedRowPerRecord) {
  for (const char* id : {"100", "101", "102"}) writeAccount(id, id);
  writeRecord("notes.txt", "{}");
  std::filesystem::create_directories(recordFolder() + "/sub");
  writeRecord("sub/103.json", R"({"缓存id":"103"})");
  controls.appendRow({"old"});
  reloadAccounts(context);

  EXPECT_EQ(column(列_序号), (Strings{"1", "2", "3"}));
  EXPECT_EQ(column(列_账号标识), (Strings{"100", "101", "102"}));
  EXPECT_EQ(column(列_素材目录), (Strings{"/v100", "/v101", "/v102"}));
  EXPECT_EQ(column(列_状态), (Strings{"", "", ""}));
  EXPECT_EQ(store.currentRow(), 2);
}

TEST_F(AccountListTest, ReloadOfEmptyOrMissingFolderEmptiesListAndKeepsRow) {
  store.withState([](AccountState& state) { state.row = 4; });
  controls.appendRow({"x"});
  reloadAccounts(context);
  EXPECT_EQ(controls.rowCount(), 0);
  dir.write("data/list", "a file, not a folder");
  reloadAccounts(context);
  EXPECT_EQ(controls.rowCount(), 0);
  EXPECT_EQ(store.currentRow(), 4);
}

TEST_F(AccountListTest, UnreadableRecordShowsItsFileNameNotThePreviousRecord) {
  writeAccount("100", "100", "第一个");
  writeRecord("101.json", "");
  writeRecord("102.json", "[\"数组\"]");
  writeRecord("103.json", "{\"昵称\":\"截断");
  writeAccount("104", "104", "最后");
  reloadAccounts(context);

  EXPECT_EQ(column(列_账号标识), (Strings{"100", "101", "102", "103", "104"}));
  EXPECT_EQ(column(列_昵称), (Strings{"第一个", "", "", "", "最后"}));
  EXPECT_EQ(column(列_素材目录), (Strings{"/v100", "", "", "", "/v104"}));
  EXPECT_EQ(column(列_状态), (Strings{"", "记录无法读取", "记录无法读取", "记录无法读取", ""}));
}

TEST_F(AccountListTest, AddedRowShowsRecordValuesAfterReload) {
  controls.setText(ControlId::编辑框_视频素材目录, "/v");
  addAccount(context);
  EXPECT_EQ(controls.cell(0, 列_昵称), "");
  reloadAccounts(context);
  EXPECT_EQ(controls.cell(0, 列_昵称), "自动获取");
  EXPECT_EQ(controls.cell(0, 列_状态), "");
}

TEST_F(AccountListTest, MenuDeleteUsesTheRowsIdAndRebuildsNumbering) {
  writeAccount("100", "100");
  writeAccount("104", "104");
  writeAccount("105", "104");  // its "缓存id" names another file
  reloadAccounts(context);
  controls.setSelectedRow(2);
  deleteSelectedAccount(context);
  EXPECT_FALSE(std::filesystem::exists(recordPath("104")));
  EXPECT_TRUE(std::filesystem::exists(recordPath("105")));
  EXPECT_EQ(column(列_序号), (Strings{"1", "2"}));
  EXPECT_EQ(column(列_账号标识), (Strings{"100", "104"}));

  controls.setSelectedRow(-1);  // nothing selected: nothing deleted, list reloaded
  writeRecord(".json", "{}");
  deleteSelectedAccount(context);
  EXPECT_TRUE(std::filesystem::exists(recordPath("")));
  EXPECT_EQ(controls.rowCount(), 3);
}

TEST_F(AccountListTest, ButtonDeleteRemovesCurrentRowWithoutRenumbering) {
  for (const char* id : {"100", "101", "102"}) writeAccount(id, id);
  reloadAccounts(context);
  controls.setSelectedRow(1);
  showAccount(context);
  deleteAccount(context);
  EXPECT_FALSE(std::filesystem::exists(recordPath("101")));
  EXPECT_EQ(column(列_序号), (Strings{"1", "3"}));
  EXPECT_EQ(store.currentRow(), 1);

  controls.setText(ControlId::编辑框_账号标识, "");  // no file, but the row goes
  deleteAccount(context);
  EXPECT_EQ(column(列_账号标识), (Strings{"100"}));
  EXPECT_TRUE(std::filesystem::exists(recordPath("102")));
}

TEST_F(AccountListTest, DeletesRefuseIdsThatLeaveTheRecordFolder) {
  const std::string outside = dir.write("data/victim.json", "{}");
  const std::string outside2 = dir.write("victim.json", "{}");
  writeAccount("100", "../victim");
  writeAccount("101", "..\\\\..\\\\victim");  // JSON-escaped backslashes
  reloadAccounts(context);

  controls.setSelectedRow(0);
  deleteSelectedAccount(context);
  controls.setSelectedRow(1);
  showAccount(context);
  deleteAccount(context);
  EXPECT_TRUE(std::filesystem::exists(outside));
  EXPECT_TRUE(std::filesystem::exists(outside2));
  EXPECT_EQ(controls.rowCount(), 2) << "a refused delete removes no row";
  EXPECT_EQ(dialogs.messageTexts(), (Strings(2, std::string(kUnsafeAccountIdMessage))));
}

TEST_F(AccountListTest, ClearMovesEveryRecordToTheTrash) {
  const std::string trashHome = dir.file("xdg");
  const char* previous = getenv("XDG_DATA_HOME");
  const std::string saved = previous ? previous : "";
  setenv("XDG_DATA_HOME", trashHome.c_str(), 1);
  for (const char* id : {"100", "101"}) writeAccount(id, id);
  writeRecord("keep.txt", "x");
  reloadAccounts(context);
  clearAccounts(context);
  previous ? setenv("XDG_DATA_HOME", saved.c_str(), 1) : unsetenv("XDG_DATA_HOME");

  EXPECT_EQ(controls.rowCount(), 0);
  EXPECT_FALSE(std::filesystem::exists(recordPath("100")));
  EXPECT_FALSE(std::filesystem::exists(recordPath("101")));
  EXPECT_TRUE(std::filesystem::exists(recordFolder() + "/keep.txt"));
  EXPECT_TRUE(std::filesystem::exists(trashHome + "/Trash/files/100.json")) << "recoverable";
  EXPECT_TRUE(std::filesystem::exists(trashHome + "/Trash/files/101.json"));
  EXPECT_TRUE(dialogs.messages().empty());
  EXPECT_TRUE(dialogs.questions().empty());
  EXPECT_EQ(newAccountId(), "100");
}

TEST_F(AccountListTest, ClearWithoutRecordFolderOnlyEmptiesList) {
  controls.appendRow({"1"});
  clearAccounts(context);
  EXPECT_EQ(controls.rowCount(), 0);
  EXPECT_TRUE(dialogs.messages().empty());
}

TEST_F(AccountListTest, MoveToBottomCarriesNicknameFolderAndIdOnly) {
  for (const char* id : {"100", "101", "102"}) writeAccount(id, id, "n" + std::string(id));
  reloadAccounts(context);
  controls.setCell(0, 列_状态, "上传失败");
  controls.setSelectedRow(0);
  moveAccountToBottom(context);
  EXPECT_EQ(column(列_账号标识), (Strings{"101", "102", "100"}));
  EXPECT_EQ(column(列_序号), (Strings{"2", "3", "3"}));
  EXPECT_EQ(controls.rowCells(2), (Strings{"3", "n100", "/v100", "100", "", "", "", "", "", "", "", "", "", "", "",
                                           "", "", ""}));
  reloadAccounts(context);
  EXPECT_EQ(column(列_账号标识), (Strings{"100", "101", "102"}));

  controls.setSelectedRow(-1);
  moveAccountToBottom(context);
  EXPECT_EQ(controls.rowCount(), 4);
  EXPECT_EQ(controls.rowCells(3)[列_账号标识], "");
}

TEST_F(AccountListTest, LoginEntriesPassRowAndId) {
  for (const char* id : {"100", "101"}) writeAccount(id, id);
  reloadAccounts(context);

  // Row, id and whether the browser opened on the calling thread.
  auto callOnce = [&](auto entry) {
    auto opened = std::make_shared<std::promise<std::tuple<int, std::string, bool>>>();
    std::future<std::tuple<int, std::string, bool>> result = opened->get_future();
    const std::thread::id caller = std::this_thread::get_id();
    entry([opened, caller](int row, const std::string& id) {
      opened->set_value({row, id, std::this_thread::get_id() == caller});
    });
    return result.get();
  };

  controls.setSelectedRow(1);
  EXPECT_EQ(callOnce([&](OpenAccountBrowser open) { loginSelectedAccount(context, open); }),
            std::tuple(1, std::string("101"), false));
  EXPECT_EQ(store.currentRow(), 1);
  EXPECT_EQ(controls.text(ControlId::编辑框_账号标识), "101");

  controls.setText(ControlId::编辑框_账号标识, "777");
  EXPECT_EQ(callOnce([&](OpenAccountBrowser open) { loginEditedAccount(context, open); }),
            std::tuple(1, std::string("777"), false));

  controls.setSelectedRow(-1);
  EXPECT_EQ(callOnce([&](OpenAccountBrowser open) { loginSelectedAccountHere(context, open); }),
            std::tuple(-1, std::string(""), true));
  EXPECT_EQ(store.currentRow(), -1);
  EXPECT_EQ(controls.text(ControlId::编辑框_账号标识), "");
}

// The nickname write-back of a log-in thread and a reload share the one
// record; neither may write one account's values into another's file.
TEST_F(AccountListTest, NicknameWriteBackDuringReloadsKeepsRecordsApart) {
  for (int n = 100; n < 140; ++n) writeAccount(std::to_string(n), std::to_string(n));
  std::atomic<bool> written = false;
  std::thread writer([&] {
    for (int i = 0; i < 150; ++i) store.saveNickname("100", "昵称" + std::to_string(i));
    written = true;
  });
  while (!written) reloadAccounts(context);
  writer.join();

  for (int n = 100; n < 140; ++n) {
    AccountRecord record;
    ASSERT_EQ(record.load(recordPath(std::to_string(n))), AccountRecord::LoadResult::Loaded);
    EXPECT_EQ(record.text(recordKey::accountId), std::to_string(n));
    EXPECT_EQ(record.text(recordKey::folder), "/v" + std::to_string(n));
  }
  AccountRecord first;
  first.load(recordPath("100"));
  EXPECT_EQ(first.text(recordKey::nickname), "昵称149");
}

// The start-up reload and a reload from the button may overlap: the later one
// wins and the list ends up with every account exactly once.
TEST_F(AccountListTest, OverlappingReloadsLeaveOneCopyOfEachRow) {
  Strings ids;
  for (int n = 100; n < 400; ++n) {
    writeAccount(std::to_string(n), std::to_string(n));
    ids.push_back(std::to_string(n));
  }
  for (int round = 0; round < 5; ++round) {
    std::thread other([&] { reloadAccounts(context); });
    reloadAccounts(context);
    other.join();
    ASSERT_EQ(column(列_账号标识), ids) << "round " << round;
    ASSERT_EQ(column(列_序号).back(), "300");
  }
}

}  // namespace
}  // namespace vidralo::test
