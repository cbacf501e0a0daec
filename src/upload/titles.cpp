#include "upload/titles.h"

#include "common/gbk.h"
#include "common/random_draw.h"
#include "common/text_rules.h"
#include "common/whole_file.h"
#include "upload/file_ops.h"
#include "upload/video_selection.h"

namespace vidralo {
namespace {

// Parts between separators; an empty last part (a trailing separator) adds
// nothing, every other empty part counts.
std::vector<std::string> splitKeepingEmpty(std::string_view text, char separator) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find(separator, start);
    if (end == std::string_view::npos) end = text.size();
    parts.emplace_back(text.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

}  // namespace

std::vector<std::string> libraryTitles(std::string_view library) {
  std::vector<std::string> titles;
  for (std::string line : splitKeepingEmpty(library, '\n')) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!fileExists(line)) {
      titles.push_back(std::move(line));
      continue;
    }
    std::string bytes;
    if (readWholeFile(line, bytes, kMaxTitleFileBytes) != ReadOutcome::Read) continue;
    // Line breaks inside a title file belong to the titles; only commas split.
    for (std::string& title : splitKeepingEmpty(decodeUtf8OrGbk(bytes), ',')) titles.push_back(std::move(title));
  }
  return titles;
}

void TitlePool::refillLocked(ControlModel& controls) {
  for (std::string& title : libraryTitles(controls.text(ControlId::编辑框_标题库))) titles_.push_back(std::move(title));
  controls.setCaption(ControlId::标签5, "一行一个，检测到标题数量：" + numberToText(static_cast<std::int64_t>(titles_.size())));
}

void TitlePool::refillTitlePool(ControlModel& controls) {
  std::lock_guard lock(mutex_);
  refillLocked(controls);
}

std::string TitlePool::nextTitle(ControlModel& controls) {
  std::lock_guard lock(mutex_);
  if (titles_.empty()) refillLocked(controls);
  if (titles_.empty()) return {};
  std::size_t at = 0;
  if (controls.checked(ControlId::选择框_随机))
    at = static_cast<std::size_t>(randomBetween(1, static_cast<int>(titles_.size())) - 1);
  std::string title = std::move(titles_[at]);
  titles_.erase(titles_.begin() + static_cast<std::ptrdiff_t>(at));
  return title;
}

std::size_t TitlePool::size() const {
  std::lock_guard lock(mutex_);
  return titles_.size();
}

std::string replacePlaceholders(std::string text, std::initializer_list<Placeholder> pairs) {
  for (const auto& [placeholder, replacement] : pairs) text = replaceAll(text, placeholder, replacement);
  return text;
}

namespace {

std::string untrimmedTitle(ControlModel& controls, TitlePool& pool, int row, const std::string& videoPath) {
  if (!controls.checked(ControlId::描述_标题模板)) return pool.nextTitle(controls);
  const std::string nick = controls.cell(row, 列_昵称);
  const std::string fileTitle(baseNameOf(videoPath));
  // The nickname goes in first, so a "{title}" inside it gets the file name.
  return replacePlaceholders(controls.text(ControlId::编辑框_简介模板内容), {{"{nick}", nick}, {"{title}", fileTitle}});
}

}  // namespace

std::string composeTitle(ControlModel& controls, TitlePool& pool, int row, const std::string& videoPath) {
  std::string title = untrimmedTitle(controls, pool, row, videoPath);
  // Typing a huge text takes the browser connection down; no platform takes
  // a title anywhere near this long.
  title.resize(firstCharacters(title, kMaxTitleCharacters).size());
  return title;
}

}  // namespace vidralo
