#pragma once
// Which video an account publishes next, the cover image beside it, and what
// becomes of both after a successful publication. Settings are read from
// the controls at the moment of use.
#include <string>
#include <string_view>

#include "controls/control_model.h"
#include "upload/publication_journal.h"

namespace vidralo {

// Column 4 for a video whose confirm button was pressed without a known
// outcome: the operator decides whether the platform has it.
inline constexpr const char* kUnconfirmedText = "已点发表，结果未知";

// Longest base name, in characters, that a video keeps on upload.
inline constexpr std::size_t kVideoNameLimit = 30;

// The next video of `folder` (with sub-folders when 选择框_读取子文件夹 is
// checked), in random or listing order. Only non-empty regular files count.
// A video the publication journal holds (same path, size and modification
// time) is never picked: its disposal is tried again instead, and a failure
// shown in column 4 of `row`; one whose confirm click has no known outcome
// stays where it is and column 4 says so (kUnconfirmedText). A name longer than the limit is cut and the
// file renamed for good. Empty when there is none, when it is still being
// written, or when the rename failed; an empty folder is reported in column
// 4 of `row` and the status bar. Nothing inside the used-video folder (in
// move mode) is ever picked.
std::string pickVideo(ControlModel& controls, const std::string& folder, int row);

// The video's cover: ".mp4" replaced by ".jpg" in its file name
// (case-sensitive, so "clip.MP4" is its own cover path and never gets one).
std::string coverPathOf(const std::string& videoPath);

// With 单选框_本地随机封面 selected, copies a random "*.jpg" of
// 编辑框_随机封面目录 beside the video, unless a cover is already there.
void prepareCover(ControlModel& controls, const std::string& videoPath);

// Deletes, or moves to the used-video folder, the published video and its
// cover. A name already taken there gets a free one (name + " (2)" and so
// on); nothing there is replaced. A file that took the video's name since
// its publication (other size or time) is a new video and stays. False when
// the published video is still in its folder.
bool disposeVideo(ControlModel& controls, const PublishedVideo& video);

// Column 4 after a publication whose video could not be disposed of.
std::string disposalFailedText(const ControlModel& controls);

// The folder used videos are moved to: 编辑框_使用过视频目录, or the program's
// "\已使用视频" (created when missing) while that box is empty.
std::string usedVideoFolder(ControlModel& controls);

// In move mode: the used-video folder is `videoFolder` itself, or lies below
// it while sub-folders are read. Every used video would come back as a new
// one ("x.mp4", "x (2).mp4", ...), so such an account is not worked on.
bool usedFolderIsAmongVideos(ControlModel& controls, const std::string& videoFolder);

// The first `limit` characters (UTF-8 code points) of `text`.
std::string_view firstCharacters(std::string_view text, std::size_t limit);
std::size_t characterCount(std::string_view text);

}  // namespace vidralo
