#pragma once
// The platform's two-level video categories: the catalogue text the program
// carries, its parsed form, and the two combo boxes it fills.
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "controls/control_model.h"

namespace vidralo {

// The JSON text: {"data": [{"er": [sub-category, ...], "name": category}, ...]}.
std::string_view categoryCatalogueText();

// The parsed catalogue; empty until the first refresh.
class CategoryCatalogue {
 public:
  // Replaces the content with `jsonText`; false (and empty) when it does not
  // parse.
  bool load(std::string_view jsonText);
  std::vector<std::string> names() const;
  // The sub-categories of the k-th category, counting from 1; empty for a
  // position outside the catalogue.
  std::vector<std::string> subCategories(int k) const;

 private:
  struct Category {
    std::string name;
    std::vector<std::string> subCategories;
  };
  mutable std::mutex mutex_;
  std::vector<Category> categories_;
};

// Data values of the combo items: the first level carries 1 for "推荐" and
// n + 1 for the n-th category, the second level 32 + m for its m-th item.
inline constexpr int kRecommendedData = 1;
inline constexpr int kSubCategoryDataBase = 32;

// The data value of the selected item of `combo`; -1 when none is selected.
int selectedItemData(const ControlModel& controls, ControlId combo);

// Button 按钮4: rebuilds 组合框_一级分类 from the catalogue with "电影"
// selected, fills 组合框_二级分类, then lets `restoreComboBoxes` put back the
// saved combo state, which wins over the fresh lists.
void refreshCategories(ControlModel& controls, CategoryCatalogue& catalogue,
                       const std::function<void()>& restoreComboBoxes);

// An item chosen in 组合框_一级分类: 组合框_二级分类 gets its sub-categories,
// the first one selected.
void fillSubCategories(ControlModel& controls, const CategoryCatalogue& catalogue);

}  // namespace vidralo
