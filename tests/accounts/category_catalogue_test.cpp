#include "accounts/category_catalogue.h"

#include <gtest/gtest.h>

#include "account_fixture.h"
#include "common/text_rules.h"

namespace vidralo::test {
namespace {

using Items = std::vector<ComboItem>;

TEST(CategoryTextTest, CarriesThirtyOneCategoriesInFourSpaceCrLfLayout) {
  const std::string_view text = categoryCatalogueText();
  EXPECT_TRUE(text.starts_with("{\r\n    \"data\": [\r\n        {\r\n            \"er\": [\r\n"));
  EXPECT_EQ(replaceAll(text, "\r\n", "").find('\n'), std::string::npos) << "no bare line feeds";
  EXPECT_EQ(replaceAll(text, "\r\n", "").find('\r'), std::string::npos);
  EXPECT_EQ(text.find('\t'), std::string::npos);

  CategoryCatalogue catalogue;
  ASSERT_TRUE(catalogue.load(text));
  const std::vector<std::string> names = catalogue.names();
  ASSERT_EQ(names.size(), 31u);
  std::size_t subCount = 0;
  for (int k = 1; k <= 31; ++k) subCount += catalogue.subCategories(k).size();
  EXPECT_EQ(subCount, 199u);
  EXPECT_EQ(names.front(), "电影");
  EXPECT_EQ(names[6], "游戏");
  EXPECT_EQ(names.back(), "汽车");
  EXPECT_EQ(catalogue.subCategories(7).size(), 17u);
  EXPECT_EQ(catalogue.subCategories(7)[12], "Cosplay");
  EXPECT_EQ(catalogue.subCategories(9).front(), "MV");
  EXPECT_EQ(catalogue.subCategories(14)[6], "IT通信");
  EXPECT_EQ(catalogue.subCategories(26).back(), "亲子互动");
  EXPECT_TRUE(catalogue.subCategories(0).empty());
  EXPECT_TRUE(catalogue.subCategories(32).empty());
}

class CategoryComboTest : public AccountTest {
 protected:
  void choose(const std::string& name) {
    const Items items = controls.items(ControlId::组合框_一级分类);
    for (std::size_t i = 0; i < items.size(); ++i)
      if (items[i].text == name) controls.setCurrentIndex(ControlId::组合框_一级分类, static_cast<int>(i));
    fillSubCategories(controls, categories);
  }
  Items subItems() { return controls.items(ControlId::组合框_二级分类); }
};

TEST_F(CategoryComboTest, FirstRefreshSelectsFilmAndItsNineSubCategories) {
  int restores = 0;
  refreshCategories(controls, categories, [&] { ++restores; });
  const Items first = controls.items(ControlId::组合框_一级分类);
  ASSERT_EQ(first.size(), 32u);
  EXPECT_EQ(first[0], (ComboItem{"推荐", 1}));
  EXPECT_EQ(first[1], (ComboItem{"电影", 2}));
  EXPECT_EQ(first[13], (ComboItem{"体育", 14}));
  EXPECT_EQ(first[31], (ComboItem{"汽车", 32}));
  EXPECT_EQ(controls.currentIndex(ControlId::组合框_一级分类), 1);
  EXPECT_EQ(controls.text(ControlId::组合框_一级分类), "电影");

  const Items second = subItems();
  ASSERT_EQ(second.size(), 9u);
  EXPECT_EQ(second.front(), (ComboItem{"电影片花", 33}));
  EXPECT_EQ(second.back(), (ComboItem{"电影其他", 41}));
  EXPECT_EQ(controls.currentIndex(ControlId::组合框_二级分类), 0);
  EXPECT_EQ(restores, 1);
}

TEST_F(CategoryComboTest, SubCategoriesOfRecommendedSportsAndSingleItemCategories) {
  refreshCategories(controls, categories, {});
  choose("推荐");
  Items expected;
  for (int m = 1; m <= 6; ++m) expected.push_back({"系统推荐" + std::to_string(m), 32 + m});
  EXPECT_EQ(subItems(), expected);
  EXPECT_EQ(controls.text(ControlId::组合框_二级分类), "系统推荐1");

  choose("体育");
  ASSERT_EQ(subItems().size(), 21u);
  EXPECT_EQ(subItems().front(), (ComboItem{"篮球", 33}));
  EXPECT_EQ(subItems().back(), (ComboItem{"体育其他", 53}));

  for (const char* single : {"萌娃", "奇闻", "星座", "汽车"}) {
    choose(single);
    EXPECT_EQ(subItems(), (Items{{single, 33}})) << single;
  }
}

TEST_F(CategoryComboTest, NoSelectionOrStaleDataGivesEmptySubList) {
  refreshCategories(controls, categories, {});
  controls.setCurrentIndex(ControlId::组合框_一级分类, -1);
  fillSubCategories(controls, categories);
  EXPECT_TRUE(subItems().empty());
  EXPECT_EQ(controls.currentIndex(ControlId::组合框_二级分类), -1);

  controls.clearItems(ControlId::组合框_一级分类);
  controls.addItem(ControlId::组合框_一级分类, {"旧", 99});
  controls.setCurrentIndex(ControlId::组合框_一级分类, 0);
  fillSubCategories(controls, categories);
  EXPECT_TRUE(subItems().empty());
}

TEST_F(CategoryComboTest, BeforeAnyRefreshTheCatalogueIsEmpty) {
  controls.addItem(ControlId::组合框_一级分类, {"电影", 2});
  controls.setCurrentIndex(ControlId::组合框_一级分类, 0);
  fillSubCategories(controls, categories);
  EXPECT_TRUE(subItems().empty());
}

TEST_F(CategoryComboTest, RestoredStateReplacesTheFreshLists) {
  refreshCategories(controls, categories, [&] {
    controls.clearItems(ControlId::组合框_二级分类);
    controls.addItem(ControlId::组合框_二级分类, {"电子竞技", 38});
    controls.setCurrentIndex(ControlId::组合框_二级分类, 0);
  });
  EXPECT_EQ(subItems(), (Items{{"电子竞技", 38}})) << "the restore runs after the sub-list is built";
}

}  // namespace
}  // namespace vidralo::test
