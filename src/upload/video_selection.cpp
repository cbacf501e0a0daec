#include "upload/video_selection.h"

#include <unistd.h>

#include <filesystem>
#include <vector>

#include "common/list_files.h"
#include "common/program_dir.h"
#include "common/random_draw.h"
#include "common/text_rules.h"
#include "upload/file_ops.h"

namespace vidralo {
namespace {

bool isContinuationByte(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

const std::string& pickAt(const std::vector<std::string>& files, bool random) {
  return files[random ? static_cast<std::size_t>(randomBetween(1, static_cast<int>(files.size())) - 1) : 0];
}

// Cuts an overlong base name. Only the file name changes: cutting the same
// text out of the folder part would aim the rename at a folder that does not
// exist and leave the video unpublishable for ever.
std::string shortenedPath(const std::string& path) {
  const std::string_view name = fileNameOf(path);
  const std::string_view base = baseNameOf(path);
  if (characterCount(base) <= kVideoNameLimit) return path;
  return std::string(folderOf(path)) + std::string(firstCharacters(base, kVideoNameLimit)) +
         std::string(name.substr(base.size()));
}

void moveInto(const std::string& folder, const std::string& path) {
  std::string target = folder;
  if (!target.empty() && target.back() != '/') target.push_back('/');
  moveFileNoReplace(path, target + std::string(fileNameOf(path)));
}

}  // namespace

std::size_t characterCount(std::string_view text) {
  std::size_t count = 0;
  for (char c : text)
    if (!isContinuationByte(c)) ++count;
  return count;
}

std::string_view firstCharacters(std::string_view text, std::size_t limit) {
  std::size_t seen = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (isContinuationByte(text[i])) continue;
    if (seen == limit) return text.substr(0, i);
    ++seen;
  }
  return text;
}

std::string pickVideo(ControlModel& controls, const std::string& folder, int row) {
  std::vector<std::string> files;
  listFiles(folder, "*.mp4", files, true, controls.checked(ControlId::选择框_读取子文件夹));
  if (files.empty()) {
    controls.setStatusText(1, "视频素材目录没有视频");
    controls.setCell(row, 列_状态, "没有视频");
    return {};
  }
  std::string path = pickAt(files, controls.checked(ControlId::单选框_选择视频_随机));
  if (isFileInUse(path)) return {};
  const std::string shortPath = shortenedPath(path);
  if (shortPath != path) {
    // A failed rename (a video of the same short name is already there)
    // counts as an attempt; the other video must not be published in its place.
    if (!isValidFilePath(shortPath) || !moveFileNoReplace(path, shortPath)) return {};
    path = shortPath;
  }
  return fileExists(path) ? path : std::string{};
}

std::string coverPathOf(const std::string& videoPath) {
  const std::string_view name = fileNameOf(videoPath);
  return std::string(folderOf(videoPath)) + replaceAll(name, ".mp4", ".jpg");
}

void prepareCover(ControlModel& controls, const std::string& videoPath) {
  if (!controls.checked(ControlId::单选框_本地随机封面)) return;
  std::vector<std::string> covers;
  listFiles(controls.text(ControlId::编辑框_随机封面目录), "*.jpg", covers, true, false);
  if (covers.empty()) return;
  // Copied, never moved: one image may serve many videos. An existing cover
  // beside the video stays, and so does the video when it is its own "cover".
  copyFileNoReplace(pickAt(covers, true), coverPathOf(videoPath));
}

std::string usedVideoFolder(ControlModel& controls) {
  std::string folder = controls.text(ControlId::编辑框_使用过视频目录);
  if (!folder.empty()) return folder;
  folder = programPath("\\已使用视频");
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  return folder;
}

void disposeVideo(ControlModel& controls, const std::string& videoPath) {
  const std::string cover = coverPathOf(videoPath);
  if (controls.checked(ControlId::单选框_删除)) {
    ::unlink(videoPath.c_str());
    ::unlink(cover.c_str());
    return;
  }
  const std::string folder = usedVideoFolder(controls);
  moveInto(folder, videoPath);
  if (cover != videoPath) moveInto(folder, cover);
}

}  // namespace vidralo
