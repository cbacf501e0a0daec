#include <gtest/gtest.h>

#include <filesystem>

#include "common/gbk.h"
#include "common/program_dir.h"
#include "controls/control_model.h"
#include "settings/control_state_store.h"
#include "settings/control_value_codec.h"
#include "settings/directories.h"
#include "settings/ini_profile.h"
#include "support/temp_dir.h"

namespace vidralo {
namespace {

using Id = ControlId;
using test::readFile;

// A program directory of its own with "\data" in place, and the settings
// file path as start-up sets it.
class SettingsFile : public ::testing::Test {
 protected:
  void SetUp() override {
    previousDirectory_ = programDirectory();
    setProgramDirectory(dir_.path());
    std::filesystem::create_directories(dir_.file("data"));
    path_ = dir_.file("data/setsoft.ini");
  }
  void TearDown() override { setProgramDirectory(previousDirectory_); }

  // Saves `window` and restores everything into a window at first-run values.
  void saveAndRestore(const ControlModel& window, ControlModel& restarted) {
    saveControlStates(window, path_, "");
    restoreEditBoxes(restarted, path_);
    restoreRadioButtons(restarted, path_);
    restoreComboBoxes(restarted, path_);
  }
  std::string stored(std::string_view section, Id id) const {
    return readProfileString(path_, section, controlName(id));
  }
  void store(std::string_view section, Id id, std::string_view value) {
    ASSERT_TRUE(writeProfileString(path_, section, controlName(id), value));
  }

  test::TempDir dir_;
  std::string previousDirectory_;
  std::string path_;
};

TEST_F(SettingsFile, EveryKeptKindComesBackAfterARestart) {
  ControlModel window;
  window.setText(Id::编辑框_标题库, "第一行\r\n\"引用\"\r\n\r\n最后");
  window.setText(Id::宽带_密码, "p=ss;[x]");
  window.setText(Id::编辑框_视频间隔, "45");
  window.setChecked(Id::单选框_移动, true);
  window.setChecked(Id::描述_标题库, true);
  window.addItem(Id::组合框_一级分类, {"电影", 3});
  window.addItem(Id::组合框_一级分类, {"音乐\"x\"", -2});
  window.setCurrentIndex(Id::组合框_一级分类, 1);

  ControlModel restarted;
  saveAndRestore(window, restarted);
  for (Id id : controlsOfKind(ControlKind::EditBox)) EXPECT_EQ(restarted.text(id), window.text(id)) << controlName(id);
  for (Id id : controlsOfKind(ControlKind::RadioButton))
    EXPECT_EQ(restarted.checked(id), window.checked(id)) << controlName(id);
  EXPECT_EQ(restarted.items(Id::组合框_一级分类), window.items(Id::组合框_一级分类));
  EXPECT_EQ(restarted.currentIndex(Id::组合框_一级分类), 1);
  EXPECT_EQ(restarted.text(Id::组合框_一级分类), "音乐\"x\"");
  EXPECT_EQ(restarted.itemCount(Id::组合框_二级分类), 0);
}

TEST_F(SettingsFile, StoredSpellingOfEachKind) {
  ControlModel window;
  window.setText(Id::编辑框_简介模板内容, "a\r\nb \"c\"");
  window.addItem(Id::组合框_一级分类, {"电影", 0});
  window.addItem(Id::组合框_一级分类, {"音乐", 0});
  window.setCurrentIndex(Id::组合框_一级分类, 1);
  saveControlStates(window, path_, "");

  EXPECT_EQ(stored("编辑框", Id::编辑框_简介模板内容), "a><br><b #引号c#引号");
  EXPECT_EQ(stored("编辑框", Id::编辑框_账号标识), "100");
  EXPECT_EQ(stored("单选框", Id::单选框_删除), "真");
  EXPECT_EQ(stored("单选框", Id::单选框_移动), "假");
  EXPECT_EQ(stored("组合框", Id::组合框_一级分类), "电影<|>0<||>音乐<|>0<||>1<|>音乐");
  EXPECT_EQ(stored("组合框", Id::组合框_二级分类), "-1<|>");
  EXPECT_EQ(stored("选择框", Id::选择框_自动循环), "");
  EXPECT_EQ(readFile(path_).find(utf8ToGbk("选择框")), std::string::npos) << "check boxes are not kept";
}

TEST_F(SettingsFile, SavesEveryControlOfTheThreeKindsInWindowOrderInOneWrite) {
  ControlModel window;
  std::string separately = path_ + ".separate";
  saveEditBoxes(window, separately, "");
  saveRadioButtons(window, separately, "");
  saveComboBoxes(window, separately, "");
  saveControlStates(window, path_, "");
  EXPECT_EQ(readFile(path_), readFile(separately));

  std::string expected;
  for (auto [section, kind] : {std::pair{"编辑框", ControlKind::EditBox}, {"单选框", ControlKind::RadioButton},
                               {"组合框", ControlKind::ComboBox}}) {
    expected += "[" + std::string(section) + "]\r\n";
    for (Id id : controlsOfKind(kind)) {
      std::string value = kind == ControlKind::EditBox       ? encodeEditText(window.text(id))
                          : kind == ControlKind::RadioButton ? (window.checked(id) ? "真" : "假")
                                                             : "-1<|>";
      expected += std::string(controlName(id)) + "=" + value + "\r\n";
    }
  }
  EXPECT_EQ(gbkToUtf8(readFile(path_)), expected);
  EXPECT_EQ(controlsOfKind(ControlKind::EditBox).size(), 21u);
  EXPECT_EQ(controlsOfKind(ControlKind::RadioButton).size(), 11u);
}

TEST_F(SettingsFile, ExcludedNamesMatchExactly) {
  ControlModel window;
  window.setText(Id::编辑框_google, "/usr/bin/chromium");
  saveEditBoxes(window, path_, "宽带_密码|放弃秒x|编辑框_GOOGLE");
  EXPECT_EQ(stored("编辑框", Id::宽带_密码), "");
  EXPECT_EQ(stored("编辑框", Id::放弃秒), "300");
  EXPECT_FALSE(stored("编辑框", Id::编辑框_google).empty());
}

TEST_F(SettingsFile, EmptyValuesLeaveTheFormDefault) {
  ControlModel window;
  window.setText(Id::编辑框_视频间隔, "");
  saveControlStates(window, path_, "");
  ControlModel restarted;
  restoreEditBoxes(restarted, path_);
  EXPECT_EQ(restarted.text(Id::编辑框_视频间隔), "80");
}

TEST_F(SettingsFile, LoneLineBreaksComeBackAsLineBreaksAndCannotInjectKeys) {
  ControlModel window;
  window.setText(Id::编辑框_标题库, "x\n[单选框]\n描述_文件名=假\rend");
  window.setChecked(Id::描述_文件名, true);
  ControlModel restarted;
  saveAndRestore(window, restarted);
  EXPECT_EQ(restarted.text(Id::编辑框_标题库), "x\r\n[单选框]\r\n描述_文件名=假\r\nend");
  EXPECT_TRUE(restarted.checked(Id::描述_文件名));
}

TEST_F(SettingsFile, TokensTypedIntoATextComeBackDecoded) {
  store("编辑框", Id::编辑框_固定标签, "a><br><b#引号c");
  ControlModel restarted;
  restoreEditBoxes(restarted, path_);
  EXPECT_EQ(restarted.text(Id::编辑框_固定标签), "a\r\nb\"c");
}

TEST_F(SettingsFile, RadioValuesOtherThanFalseCheck) {
  store("单选框", Id::单选框_选择视频_顺序, "1");
  store("单选框", Id::单选框_删除, "假");
  ControlModel restarted;
  restoreRadioButtons(restarted, path_);
  EXPECT_TRUE(restarted.checked(Id::单选框_选择视频_顺序));
  EXPECT_FALSE(restarted.checked(Id::单选框_选择视频_随机));
  EXPECT_FALSE(restarted.checked(Id::单选框_删除));
  EXPECT_TRUE(restarted.checked(Id::描述_文件名)) << "no stored value: form default";
}

TEST_F(SettingsFile, ComboValuesOfAnyShape) {
  store("组合框", Id::组合框_一级分类, "a<|>b<|>7.9<||>noseparator<||>c<|>-1.5<||>2<|>ignored<|>edit");
  store("组合框", Id::组合框_二级分类, "#引号");
  ControlModel restarted;
  restarted.addItem(Id::组合框_二级分类, {"kept", 1});
  restoreComboBoxes(restarted, path_);
  EXPECT_EQ(restarted.items(Id::组合框_一级分类), (std::vector<ComboItem>{{"a", 7}, {"", 0}, {"c", -1}}));
  EXPECT_EQ(restarted.currentIndex(Id::组合框_一级分类), 2);
  EXPECT_EQ(restarted.text(Id::组合框_一级分类), "edit");
  EXPECT_EQ(restarted.itemCount(Id::组合框_二级分类), 0) << "a stored value replaces the items";
  EXPECT_EQ(restarted.currentIndex(Id::组合框_二级分类), -1);
  EXPECT_EQ(restarted.text(Id::组合框_二级分类), "");
}

TEST_F(SettingsFile, ComboWithoutStoredValueKeepsItsItems) {
  ControlModel restarted;
  restarted.addItem(Id::组合框_二级分类, {"kept", 1});
  restarted.setCurrentIndex(Id::组合框_二级分类, 0);
  restoreComboBoxes(restarted, path_);
  EXPECT_EQ(restarted.items(Id::组合框_二级分类), (std::vector<ComboItem>{{"kept", 1}}));
  EXPECT_EQ(restarted.currentIndex(Id::组合框_二级分类), 0);
}

TEST_F(SettingsFile, SeparatorsInsideComboTextsDoNotComeBackWhole) {
  ControlModel window;
  window.addItem(Id::组合框_一级分类, {"前<|>后", 5});
  window.addItem(Id::组合框_一级分类, {"x<||>y", 6});
  window.setCurrentIndex(Id::组合框_一级分类, 0);
  window.setText(Id::组合框_一级分类, "e<|>dit");
  ControlModel restarted;
  saveAndRestore(window, restarted);
  EXPECT_EQ(restarted.items(Id::组合框_一级分类), (std::vector<ComboItem>{{"前", 5}, {"", 0}, {"y", 6}}));
  EXPECT_EQ(restarted.text(Id::组合框_一级分类), "dit");
}

TEST_F(SettingsFile, EmojiHangulAndLongValuesSurviveARestart) {
  std::string library;
  while (library.size() < 100 * 1024) library += "标题" + std::to_string(library.size()) + "\r\n";
  ControlModel window;
  window.setText(Id::编辑框_标题库, library);
  window.setText(Id::编辑框_视频素材目录, "/srv/視頻/🎬");
  window.setText(Id::编辑框_固定标签, "한국어 태그");
  ControlModel restarted;
  saveAndRestore(window, restarted);
  EXPECT_EQ(restarted.text(Id::编辑框_标题库), library);
  EXPECT_EQ(restarted.text(Id::编辑框_视频素材目录), "/srv/視頻/🎬");
  EXPECT_EQ(restarted.text(Id::编辑框_固定标签), "한국어 태그");
}

TEST_F(SettingsFile, EmptyPathMeansTheDefaultFileAndCreatesTheDataDirectory) {
  std::filesystem::remove_all(dir_.file("data"));
  ControlModel window;
  window.setText(Id::放弃秒, "77");
  std::string settingsPath;
  saveEditBoxes(window, settingsPath, "");
  EXPECT_EQ(settingsPath, dir_.file("data/setsoft.ini"));
  EXPECT_EQ(readProfileString(settingsPath, "编辑框", "放弃秒"), "77");

  std::string again;
  ControlModel restarted;
  restoreEditBoxes(restarted, again);
  EXPECT_EQ(again, settingsPath);
  EXPECT_EQ(restarted.text(Id::放弃秒), "77");
}

TEST_F(SettingsFile, BrokenFilesGiveWhatIsReadableAndDefaultsForTheRest) {
  const std::string huge(2 * 1024 * 1024, '\xfe');
  dir_.write("data/setsoft.ini", huge + "\r\n\x81\r\n[\xff\r\n" + utf8ToGbk("[编辑框]\r\n放弃秒\r\n") +
                                     "\x80\x80=\x81\x81\r\n" + utf8ToGbk("编辑框_视频间隔=55\r\n[编辑框]\r\n放弃秒=1\r\n") +
                                     utf8ToGbk("[单选框]\r\n单选框_移动=") + huge + "\r\n" +
                                     utf8ToGbk("[组合框]\r\n组合框_一级分类=") + huge + "\r\n");
  ControlModel restarted;
  restoreEditBoxes(restarted, path_);
  restoreRadioButtons(restarted, path_);
  restoreComboBoxes(restarted, path_);
  EXPECT_EQ(restarted.text(Id::编辑框_视频间隔), "55");
  EXPECT_EQ(restarted.text(Id::放弃秒), "300");
  EXPECT_TRUE(restarted.checked(Id::单选框_移动));
  EXPECT_EQ(restarted.itemCount(Id::组合框_一级分类), 0);
  EXPECT_EQ(restarted.currentIndex(Id::组合框_一级分类), -1);
}

TEST_F(SettingsFile, ASettingsPathThatIsADirectoryChangesNothing) {
  std::filesystem::create_directories(path_);
  ControlModel window;
  window.setText(Id::放弃秒, "1");
  saveControlStates(window, path_, "");
  ControlModel restarted;
  restoreEditBoxes(restarted, path_);
  EXPECT_EQ(restarted.text(Id::放弃秒), "300");
  EXPECT_TRUE(isDirectory(path_));
}

TEST(Directories, EnsureDirectoryCreatesEveryLevel) {
  test::TempDir dir;
  const std::string deep = dir.file("a/b/c");
  EXPECT_FALSE(isDirectory(deep));
  EXPECT_TRUE(ensureDirectory(deep));
  EXPECT_TRUE(ensureDirectory(deep)) << "an existing directory is fine";
  EXPECT_TRUE(isDirectory(deep));
  const std::string file = dir.write("plain", "x");
  EXPECT_FALSE(ensureDirectory(file));
  EXPECT_FALSE(ensureDirectory(file + "/below"));
  EXPECT_FALSE(ensureDirectory(""));
}

}  // namespace
}  // namespace vidralo
