#include "controls/control_model.h"

#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <thread>

namespace vidralo {
namespace {

TEST(ControlTable, NamesAreUniqueAndFindable) {
  std::set<std::string_view> names;
  for (const ControlInfo& info : controlTable()) {
    EXPECT_TRUE(names.insert(info.name).second) << info.name;
    EXPECT_EQ(findControl(info.name), info.id);
  }
  EXPECT_EQ(controlName(ControlId::编辑框_视频素材目录), "编辑框_视频素材目录");
  EXPECT_FALSE(findControl("编辑框_没有这个").has_value());
}

TEST(ControlTable, StoredKindsHaveTheExpectedCounts) {
  EXPECT_EQ(controlsOfKind(ControlKind::EditBox).size(), 21u);
  EXPECT_EQ(controlsOfKind(ControlKind::RadioButton).size(), 11u);
  EXPECT_EQ(controlsOfKind(ControlKind::ComboBox).size(), 2u);
  EXPECT_EQ(accountColumns().size(), 18u);
  EXPECT_EQ(accountColumns()[列_素材目录].width, 77);
  EXPECT_EQ(accountColumns()[列_今天已发].title, "今天已发");
}

TEST(ControlTable, TabPagesComeInWindowOrder) {
  std::vector<std::string_view> first, second;
  for (ControlId id : tabPages(ControlId::选择夹1)) first.push_back(controlInfo(id).caption);
  for (ControlId id : tabPages(ControlId::选择夹2)) second.push_back(controlInfo(id).caption);
  EXPECT_EQ(first, (std::vector<std::string_view>{"主界面", "设置", "浏览器", "换ip", "自定义标题库"}));
  EXPECT_EQ(second,
            (std::vector<std::string_view>{"发布设置", "封面图选项", "话题设置", "视频标题设置", "上传视频设置"}));
}

TEST(ControlModel, StartsWithFirstRunValues) {
  ControlModel model;
  EXPECT_EQ(model.text(ControlId::编辑框_账号标识), "100");
  EXPECT_EQ(model.text(ControlId::放弃秒), "300");
  EXPECT_EQ(model.caption(ControlId::标签2), "视频上传间隔              秒 ---              秒");
  EXPECT_EQ(model.caption(ControlId::标签9), "使用模板做简介，支持加入变量：{title}=视频标题 ");
  EXPECT_EQ(model.text(ControlId::编辑框_标题库), "D:\\e\\123.txt\r\nD:\\e\\124443.txt\r\n这里标题1\r\n这是标题2");
  EXPECT_TRUE(model.checked(ControlId::选择框_切换账号));
  EXPECT_FALSE(model.checked(ControlId::选择框_换ip));
  EXPECT_TRUE(model.checked(ControlId::描述_文件名));
  EXPECT_TRUE(model.checked(ControlId::单选框_删除));
  EXPECT_EQ(model.currentIndex(ControlId::组合框_一级分类), -1);
  EXPECT_EQ(model.rowCount(), 0);
}

TEST(ControlModel, RadioButtonsExcludeOthersOfTheirGroupOnly) {
  ControlModel model;
  model.setChecked(ControlId::描述_标题库, true);
  EXPECT_TRUE(model.checked(ControlId::描述_标题库));
  EXPECT_FALSE(model.checked(ControlId::描述_文件名));
  EXPECT_FALSE(model.checked(ControlId::描述_标题模板));
  // Another group keeps its choice.
  EXPECT_TRUE(model.checked(ControlId::单选框_删除));
  model.setChecked(ControlId::单选框_移动, true);
  EXPECT_FALSE(model.checked(ControlId::单选框_删除));
  EXPECT_TRUE(model.checked(ControlId::描述_标题库));
}

TEST(ControlModel, ComboSelectionShowsTheItemText) {
  ControlModel model;
  model.addItem(ControlId::组合框_一级分类, {"电影", 0});
  model.addItem(ControlId::组合框_一级分类, {"音乐", 3});
  model.setCurrentIndex(ControlId::组合框_一级分类, 1);
  EXPECT_EQ(model.text(ControlId::组合框_一级分类), "音乐");
  model.setCurrentIndex(ControlId::组合框_一级分类, 5);
  EXPECT_EQ(model.currentIndex(ControlId::组合框_一级分类), -1);
  EXPECT_EQ(model.text(ControlId::组合框_一级分类), "");
  model.clearItems(ControlId::组合框_一级分类);
  EXPECT_EQ(model.itemCount(ControlId::组合框_一级分类), 0);
}

TEST(ControlModel, ListRowsKeepSelectionOnTheSameRecord) {
  ControlModel model;
  model.appendRow({"1", "a"});
  model.appendRow({"2", "b"});
  model.setSelectedRow(1);
  model.insertRow(0, {"0", "z"});
  EXPECT_EQ(model.selectedRow(), 2);
  EXPECT_EQ(model.cell(2, 列_昵称), "b");
  model.removeRow(2);
  EXPECT_EQ(model.selectedRow(), -1);
  EXPECT_EQ(model.cell(7, 0), "");
  model.setCell(7, 0, "ignored");
  EXPECT_EQ(model.rowCount(), 2);
  EXPECT_EQ(model.rowCells(0).size(), 18u);
  EXPECT_EQ(model.findRow(列_昵称, "a"), 1);
}

TEST(ControlModel, ListenersSeeEveryChangeFromEveryThread) {
  ControlModel model;
  std::atomic<int> cellChanges{0};
  const int handle = model.subscribe([&](const ControlChange& change) {
    if (change.property == ControlProperty::Cell) ++cellChanges;
  });
  model.appendRow();
  std::vector<std::thread> writers;
  for (int t = 0; t < 4; ++t)
    writers.emplace_back([&model, t] {
      for (int i = 0; i < 500; ++i) {
        model.setCell(0, 列_状态, std::to_string(t * 1000 + i));
        (void)model.cell(0, 列_状态);
        model.setText(ControlId::编辑框_账号序列, std::to_string(i));
      }
    });
  for (auto& writer : writers) writer.join();
  EXPECT_EQ(cellChanges.load(), 2000);
  model.unsubscribe(handle);
  model.setCell(0, 列_状态, "x");
  EXPECT_EQ(cellChanges.load(), 2000);
}

}  // namespace
}  // namespace vidralo
