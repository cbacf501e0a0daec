#include "accounts/category_catalogue.h"

#include <rapidjson/document.h>

#include "common/pumped_wait.h"

namespace vidralo {
namespace {

std::string stringOf(const rapidjson::Value& value) {
  return value.IsString() ? std::string(value.GetString(), value.GetStringLength()) : std::string();
}

}  // namespace

int selectedItemData(const ControlModel& controls, ControlId combo) {
  const int index = controls.currentIndex(combo);
  const std::vector<ComboItem> items = controls.items(combo);
  return index >= 0 && static_cast<std::size_t>(index) < items.size() ? items[static_cast<std::size_t>(index)].data
                                                                       : -1;
}

bool CategoryCatalogue::load(std::string_view jsonText) {
  std::vector<Category> parsed;
  rapidjson::Document document;
  document.Parse(jsonText.data(), jsonText.size());
  const bool ok = !document.HasParseError() && document.IsObject() && document.HasMember("data") &&
                  document["data"].IsArray();
  if (ok) {
    for (const rapidjson::Value& entry : document["data"].GetArray()) {
      Category category;
      if (entry.IsObject() && entry.HasMember("name")) category.name = stringOf(entry["name"]);
      if (entry.IsObject() && entry.HasMember("er") && entry["er"].IsArray())
        for (const rapidjson::Value& sub : entry["er"].GetArray()) category.subCategories.push_back(stringOf(sub));
      parsed.push_back(std::move(category));
    }
  }
  std::lock_guard lock(mutex_);
  categories_ = std::move(parsed);
  return ok;
}

std::vector<std::string> CategoryCatalogue::names() const {
  std::lock_guard lock(mutex_);
  std::vector<std::string> names;
  for (const Category& category : categories_) names.push_back(category.name);
  return names;
}

std::vector<std::string> CategoryCatalogue::subCategories(int k) const {
  std::lock_guard lock(mutex_);
  if (k < 1 || static_cast<std::size_t>(k) > categories_.size()) return {};
  return categories_[static_cast<std::size_t>(k) - 1].subCategories;
}

void refreshCategories(ControlModel& controls, CategoryCatalogue& catalogue,
                       const std::function<void()>& restoreComboBoxes) {
  catalogue.load(categoryCatalogueText());
  controls.clearItems(ControlId::组合框_一级分类);
  controls.addItem(ControlId::组合框_一级分类, {"推荐", kRecommendedData});
  int data = kRecommendedData;
  for (std::string& name : catalogue.names()) {
    controls.addItem(ControlId::组合框_一级分类, {std::move(name), ++data});
    pumpPendingMessages();
  }
  controls.setCurrentIndex(ControlId::组合框_一级分类, 1);
  if (!PumpedWait(100)) return;
  fillSubCategories(controls, catalogue);
  if (!PumpedWait(200)) return;
  if (restoreComboBoxes) restoreComboBoxes();
}

void fillSubCategories(ControlModel& controls, const CategoryCatalogue& catalogue) {
  controls.clearItems(ControlId::组合框_二级分类);
  const int k = selectedItemData(controls, ControlId::组合框_一级分类) - 1;
  if (k == 0) {
    for (int m = 1; m <= 6; ++m)
      controls.addItem(ControlId::组合框_二级分类, {"系统推荐" + std::to_string(m), kSubCategoryDataBase + m});
  } else {
    int data = kSubCategoryDataBase;
    for (std::string& name : catalogue.subCategories(k)) {
      controls.addItem(ControlId::组合框_二级分类, {std::move(name), ++data});
      pumpPendingMessages();
    }
  }
  controls.setCurrentIndex(ControlId::组合框_二级分类, 0);
}

}  // namespace vidralo
