#pragma once
// The title typed for each video: from a template, or the next entry of the
// title library (编辑框_标题库), whose lines are titles or paths of text files
// holding comma-separated titles.
#include <deque>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "controls/control_model.h"

namespace vidralo {

// The titles not yet used in this pass through the library. One pool serves
// every account and every job of a program run; edits of the library take
// effect once the pool has run empty.
class TitlePool {
 public:
  // Takes the first (or, with 选择框_随机, a random) title out of the pool,
  // refilling it first when empty. Empty when the library holds nothing.
  std::string nextTitle(ControlModel& controls);
  // Appends the library's titles and shows the pool's size in 标签5.
  void refillTitlePool(ControlModel& controls);
  std::size_t size() const;

 private:
  void refillLocked(ControlModel& controls);
  mutable std::mutex mutex_;
  std::deque<std::string> titles_;
};

// Longest title file read; a larger one contributes nothing.
inline constexpr std::size_t kMaxTitleFileBytes = 16 * 1024 * 1024;
// Longest title typed, in characters; a longer one is cut to this length.
inline constexpr std::size_t kMaxTitleCharacters = 10000;

// The titles one library text yields, in order: each line (CR LF or LF) that
// names a regular file of at most kMaxTitleFileBytes contributes the file's
// comma-separated parts (UTF-8 or GBK, with or without a byte-order mark);
// a line that names anything else that exists (a FIFO, a device, a larger
// file) contributes nothing; any other line is itself a title.
std::vector<std::string> libraryTitles(std::string_view library);

using Placeholder = std::pair<std::string_view, std::string_view>;

// Replaces, pair after pair, every occurrence of each placeholder.
std::string replacePlaceholders(std::string text, std::initializer_list<Placeholder> pairs);

// The title for the video of list row `row` (not used when 描述_文件名 is
// selected). With 描述_标题模板 the template is 编辑框_简介模板内容, with
// "{nick}" for the row's nickname and "{title}" for the video's base name;
// otherwise the next title of the pool. Cut to kMaxTitleCharacters.
std::string composeTitle(ControlModel& controls, TitlePool& pool, int row, const std::string& videoPath);

}  // namespace vidralo
