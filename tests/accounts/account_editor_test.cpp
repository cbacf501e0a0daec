#include "accounts/account_editor.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "account_fixture.h"

namespace vidralo::test {
namespace {

using Load = AccountRecord::LoadResult;

class AccountEditorTest : public AccountTest {
 protected:
  AccountRecord recordOf(const std::string& id) {
    AccountRecord record;
    EXPECT_EQ(record.load(recordPath(id)), Load::Loaded) << id;
    return record;
  }
  void setPerAccount(bool on) { controls.setChecked(ControlId::选择框_单独设置, on); }
  void refresh() { refreshCategories(controls, categories, {}); }
};

TEST_F(AccountEditorTest, AddedAccountGetsRowAndRecordUnderNextId) {
  writeRecord("100.json", "{}");
  controls.setText(ControlId::编辑框_视频素材目录, "/videos/a");
  addAccount(context);

  ASSERT_EQ(controls.rowCount(), 1);
  EXPECT_EQ(controls.rowCells(0), (std::vector<std::string>{"1", "", "/videos/a", "101", "已添加", "", "", "", "",
                                                             "", "", "", "", "", "", "", "", ""}));
  EXPECT_EQ(controls.text(ControlId::编辑框_账号标识), "101");
  EXPECT_EQ(store.currentRow(), 0);
  AccountRecord record = recordOf("101");
  EXPECT_EQ(record.text(recordKey::nickname), "自动获取");
  EXPECT_EQ(record.text(recordKey::folder), "/videos/a");
  EXPECT_EQ(record.text(recordKey::accountId), "101");
}

TEST_F(AccountEditorTest, PerAccountKeysFollowTheCheckBox) {
  controls.setText(ControlId::编辑框_视频素材目录, "");
  addAccount(context);  // off: neutral values, empty folder accepted
  AccountRecord off = recordOf("100");
  EXPECT_EQ(off.text(recordKey::folder), "");
  EXPECT_EQ(off.integer(recordKey::category), 0);
  EXPECT_EQ(off.integer(recordKey::subCategory), 0);
  EXPECT_EQ(off.text(recordKey::tags), "");
  EXPECT_EQ(off.text(recordKey::description), "");

  setPerAccount(true);  // on, but the catalogue was never loaded
  addAccount(context);
  AccountRecord empty = recordOf("101");
  EXPECT_EQ(empty.integer(recordKey::category), -1);
  EXPECT_EQ(empty.integer(recordKey::categoryIndex), -1);
  EXPECT_EQ(empty.integer(recordKey::subCategory), -1);
  EXPECT_EQ(empty.text(recordKey::tags), "dou起来");

  refresh();
  controls.setCurrentIndex(ControlId::组合框_一级分类, 7);  // 游戏, data 8
  fillSubCategories(controls, categories);
  controls.setCurrentIndex(ControlId::组合框_二级分类, 5);  // 电子竞技, data 38
  controls.setText(ControlId::编辑框_简介模板内容, "简介\r\n第二行");
  addAccount(context);
  AccountRecord on = recordOf("102");
  EXPECT_EQ(on.integer(recordKey::category), 8);
  EXPECT_EQ(on.integer(recordKey::subCategory), 38);
  EXPECT_EQ(on.integer(recordKey::categoryIndex), 7);
  EXPECT_EQ(on.integer(recordKey::subCategoryIndex), 5);
  EXPECT_EQ(on.text(recordKey::description), "简介\r\n第二行");
}

TEST_F(AccountEditorTest, SaveRefusesEmptyIdThenEmptyFolderAndWritesNothing) {
  controls.setText(ControlId::编辑框_账号标识, "");
  controls.setText(ControlId::编辑框_视频素材目录, "");
  saveAccount(context);
  controls.setText(ControlId::编辑框_账号标识, "100");
  saveAccount(context);
  EXPECT_EQ(dialogs.messageTexts(), (std::vector<std::string>{"账号标识 不能为空", "视频素材目录 不能为空"}));
  EXPECT_EQ(dialogs.messages()[0].title, "信息：");
  EXPECT_FALSE(std::filesystem::exists(recordFolder()));
}

TEST_F(AccountEditorTest, SaveUpdatesRowAndWritesUnderTheTypedId) {
  controls.setText(ControlId::编辑框_视频素材目录, "/old");
  addAccount(context);
  addAccount(context);  // rows 0 and 1, ids 100 and 101; currentRow 1
  controls.setCell(1, 列_昵称, "昵称格");
  controls.setCell(1, 列_状态, "上传失败");
  controls.setText(ControlId::编辑框_账号标识, "555");
  controls.setText(ControlId::编辑框_视频素材目录, "/new");
  saveAccount(context);

  EXPECT_EQ(controls.cell(1, 列_素材目录), "/new");
  EXPECT_EQ(controls.cell(1, 列_账号标识), "555");
  EXPECT_EQ(controls.cell(1, 列_昵称), "昵称格") << "nickname and status cells stay";
  EXPECT_EQ(controls.cell(1, 列_状态), "上传失败");
  EXPECT_EQ(recordOf("555").text(recordKey::folder), "/new");
  EXPECT_EQ(recordOf("555").text(recordKey::nickname), "自动获取");
  EXPECT_EQ(recordOf("101").text(recordKey::folder), "/old") << "the old id's file stays";
  EXPECT_TRUE(dialogs.messages().empty());
}

TEST_F(AccountEditorTest, SaveRefusesIdsThatLeaveTheRecordFolder) {
  addAccount(context);
  controls.setText(ControlId::编辑框_视频素材目录, "/v");
  for (const char* id : {"../evil", "..\\evil", "a/b", ".."}) {
    controls.setText(ControlId::编辑框_账号标识, id);
    saveAccount(context);
  }
  EXPECT_EQ(dialogs.messages().size(), 4u);
  EXPECT_EQ(dialogs.messageTexts()[0], std::string(kUnsafeAccountIdMessage));
  EXPECT_EQ(controls.cell(0, 列_账号标识), "100") << "the row is left as it was";
  EXPECT_FALSE(std::filesystem::exists(dir.file("data/evil.json")));
  EXPECT_FALSE(std::filesystem::exists(dir.file("data/list/a")));
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(dir.path()))
    names.push_back(entry.path().filename().string());
  EXPECT_EQ(names, (std::vector<std::string>{"data", "list", "100.json"}));
}

TEST_F(AccountEditorTest, FailedWriteIsReported) {
  dir.write("data/list", "a file where the folder belongs");
  controls.setText(ControlId::编辑框_视频素材目录, "/v");
  addAccount(context);
  saveAccount(context);
  ASSERT_EQ(dialogs.messages().size(), 2u);
  EXPECT_NE(dialogs.messageTexts()[1].find("无法写入"), std::string::npos);
}

TEST_F(AccountEditorTest, ShowAccountFillsEditorFromRowAndRecord) {
  refresh();
  writeRecord("105.json", R"({"标签":"标签甲","简介":"简介甲","分类1选中项":13,"分类2选中项":4})");
  controls.appendRow({"1", "n", "", "105"});
  controls.setText(ControlId::编辑框_视频素材目录, "/before");
  controls.setSelectedRow(0);

  showAccount(context);  // off: row only
  EXPECT_EQ(store.currentRow(), 0);
  EXPECT_EQ(controls.text(ControlId::编辑框_账号标识), "105");
  EXPECT_EQ(controls.text(ControlId::编辑框_视频素材目录), "/before") << "an empty folder cell keeps the editor's";
  EXPECT_EQ(controls.text(ControlId::编辑框_固定标签), "dou起来");

  setPerAccount(true);
  showAccount(context);
  EXPECT_EQ(controls.text(ControlId::编辑框_固定标签), "标签甲");
  EXPECT_EQ(controls.text(ControlId::编辑框_简介模板内容), "简介甲");
  EXPECT_EQ(controls.text(ControlId::组合框_一级分类), "体育");
  EXPECT_EQ(controls.itemCount(ControlId::组合框_二级分类), 21);
  EXPECT_EQ(controls.text(ControlId::组合框_二级分类), "武术");
}

TEST_F(AccountEditorTest, ShowAccountOfDeletedRecordKeepsPreviousValues) {
  writeRecord("100.json", R"({"标签":"旧标签","简介":"旧简介"})");
  controls.appendRow({"1", "", "/a", "100"});
  controls.appendRow({"2", "", "/b", "101"});
  setPerAccount(true);
  controls.setSelectedRow(0);
  showAccount(context);
  controls.setSelectedRow(1);
  showAccount(context);
  EXPECT_EQ(controls.text(ControlId::编辑框_视频素材目录), "/b");
  EXPECT_EQ(controls.text(ControlId::编辑框_固定标签), "旧标签");
  EXPECT_EQ(controls.text(ControlId::编辑框_简介模板内容), "旧简介");
}

TEST_F(AccountEditorTest, ShowAccountWithoutSelectionChangesNothing) {
  store.withState([](AccountState& state) { state.row = 3; });
  controls.appendRow({"1", "", "/a", "100"});
  showAccount(context);
  EXPECT_EQ(store.currentRow(), 3);
  EXPECT_EQ(controls.text(ControlId::编辑框_账号标识), "100");
  EXPECT_EQ(controls.text(ControlId::编辑框_视频素材目录), "");
}

TEST_F(AccountEditorTest, SmallEditorHandlers) {
  onMoveUsedVideosClicked(controls);
  EXPECT_EQ(controls.text(ControlId::编辑框_使用过视频目录), dir.path() + "/已使用视频");
  EXPECT_TRUE(std::filesystem::is_directory(dir.path() + "/已使用视频"));
  controls.setText(ControlId::编辑框_使用过视频目录, "/mine");
  onMoveUsedVideosClicked(controls);
  EXPECT_EQ(controls.text(ControlId::编辑框_使用过视频目录), "/mine");

  controls.setText(ControlId::编辑框_视频素材目录, "/kept");
  onBrowseMaterialFolder(controls, dialogs);  // cancelled
  dialogs.chosenFolder = "";
  onBrowseMaterialFolder(controls, dialogs);
  EXPECT_EQ(controls.text(ControlId::编辑框_视频素材目录), "/kept");
  dialogs.chosenFolder = "/chosen";
  onBrowseMaterialFolder(controls, dialogs);
  EXPECT_EQ(controls.text(ControlId::编辑框_视频素材目录), "/chosen");
  EXPECT_EQ(dialogs.folderStarts(), std::vector<std::string>(3, dir.path()));

  onMaterialFolderChanged(controls);
  EXPECT_EQ(controls.caption(ControlId::标签14), "修改素材目录后，一定点击【修改账号信息】让设置生效");

  for (bool on : {true, false, true}) {
    setPerAccount(on);
    onPerAccountSettingsClicked(controls, dialogs);
  }
  EXPECT_EQ(dialogs.messages().size(), 2u) << "shown each time the box becomes checked";
}

}  // namespace
}  // namespace vidralo::test
