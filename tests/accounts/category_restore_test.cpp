// The category lists together with the saved combo state: what was chosen
// when the settings were saved comes back on the next refresh.
#include <gtest/gtest.h>

#include "accounts/category_catalogue.h"
#include "account_fixture.h"
#include "settings/control_state_store.h"

namespace vidralo::test {
namespace {

class CategoryRestoreTest : public AccountTest {
 protected:
  void refresh(ControlModel& window) {
    refreshCategories(window, categories, [&] { restoreComboBoxes(window, settingsPath); });
  }
  std::string settingsPath;
};

TEST_F(CategoryRestoreTest, SavedChoiceComesBackOnTheNextRefresh) {
  refresh(controls);
  controls.setCurrentIndex(ControlId::组合框_一级分类, 7);
  fillSubCategories(controls, categories);
  controls.setCurrentIndex(ControlId::组合框_二级分类, 5);
  ASSERT_EQ(controls.text(ControlId::组合框_二级分类), "电子竞技");
  saveComboBoxes(controls, settingsPath, "");

  ControlModel nextRun;
  refresh(nextRun);
  EXPECT_EQ(nextRun.text(ControlId::组合框_一级分类), "游戏");
  EXPECT_EQ(nextRun.currentIndex(ControlId::组合框_一级分类), 7);
  EXPECT_EQ(nextRun.text(ControlId::组合框_二级分类), "电子竞技");
  EXPECT_EQ(nextRun.items(ControlId::组合框_二级分类), controls.items(ControlId::组合框_二级分类));
  EXPECT_EQ(nextRun.items(ControlId::组合框_一级分类).size(), 32u);
}

TEST_F(CategoryRestoreTest, WithoutSavedStateTheFreshListsStay) {
  refresh(controls);
  EXPECT_EQ(controls.text(ControlId::组合框_一级分类), "电影");
  EXPECT_EQ(controls.text(ControlId::组合框_二级分类), "电影片花");
}

}  // namespace
}  // namespace vidralo::test
