#include "upload/video_selection.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
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

std::size_t drawPosition(std::size_t count, bool random) {
  return random ? static_cast<std::size_t>(randomBetween(1, static_cast<int>(count)) - 1) : 0;
}

const std::string& pickAt(const std::vector<std::string>& files, bool random) {
  return files[drawPosition(files.size(), random)];
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

// `name` with " (n)" before its extension; n = 1 is the name itself.
std::string numberedName(std::string_view name, int n) {
  if (n == 1) return std::string(name);
  const std::size_t dot = name.rfind('.');
  const std::string_view base = dot == std::string_view::npos ? name : name.substr(0, dot);
  const std::string_view extension = dot == std::string_view::npos ? std::string_view{} : name.substr(dot);
  return std::string(base) + " (" + numberToText(n) + ")" + std::string(extension);
}

bool somethingAt(const std::string& path) {
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0;
}

// Moves the video, and its cover when there is one, into `folder` under the
// first numbering that is free for both.
bool moveInto(std::string folder, const std::string& video, const std::string& cover) {
  constexpr int kMaxNumber = 10000;
  if (!folder.empty() && folder.back() != '/') folder.push_back('/');
  const bool withCover = cover != video && somethingAt(cover);
  for (int n = 1; n <= kMaxNumber; ++n) {
    const std::string videoTarget = folder + numberedName(fileNameOf(video), n);
    const std::string coverTarget = folder + numberedName(fileNameOf(cover), n);
    if (somethingAt(videoTarget) || (withCover && somethingAt(coverTarget))) continue;
    if (!moveFileNoReplace(video, videoTarget)) {
      // Taken in the meantime: try the next number; any other failure stays.
      if (somethingAt(videoTarget)) continue;
      return false;
    }
    if (withCover) moveFileNoReplace(cover, coverTarget);
    return true;
  }
  return false;
}

bool isPickable(const std::string& path, FileIdentity& identity) {
  return regularFileIdentity(path, identity) && identity.size > 0;
}

bool moveMode(const ControlModel& controls) { return !controls.checked(ControlId::单选框_删除); }

std::filesystem::path canonicalFolder(const std::string& folder) {
  std::error_code error;
  std::filesystem::path path = std::filesystem::weakly_canonical(folder, error);
  if (error) path = std::filesystem::path(folder).lexically_normal();
  return path.has_filename() ? path : path.parent_path();
}

// `path` is `folder` or lies below it.
bool isWithin(const std::filesystem::path& path, const std::filesystem::path& folder) {
  const auto [end, unused] = std::mismatch(folder.begin(), folder.end(), path.begin(), path.end());
  return end == folder.end();
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
  const bool random = controls.checked(ControlId::单选框_选择视频_随机);
  std::vector<PublishedVideo> published;
  if (!files.empty()) published = PublicationJournal().publishedVideos();
  if (!files.empty() && moveMode(controls)) {
    const std::filesystem::path used = canonicalFolder(usedVideoFolder(controls));
    if (isWithin(used, canonicalFolder(folder)))
      std::erase_if(files, [&](const std::string& file) { return isWithin(canonicalFolder(file), used); });
  }
  // Listing order is kept for the sequential pick: drawn files are taken out
  // from the front, random ones anywhere.
  std::reverse(files.begin(), files.end());
  bool undisposed = false;
  std::string path;
  while (!files.empty()) {
    const std::size_t at = files.size() - 1 - drawPosition(files.size(), random);
    std::string candidate = std::move(files[at]);
    files.erase(files.begin() + static_cast<std::ptrdiff_t>(at));
    FileIdentity identity;
    if (!isPickable(candidate, identity)) continue;
    if (const PublishedVideo* recorded = findRecorded(published, candidate, identity)) {
      // Confirm pressed, outcome unknown: neither published again nor
      // disposed of until the operator has looked.
      if (!recorded->confirmed) controls.setCell(row, 列_状态, kUnconfirmedText);
      else if (!disposeVideo(controls, {candidate, identity})) undisposed = true;
      continue;
    }
    path = std::move(candidate);
    break;
  }
  if (path.empty()) {
    if (undisposed) {
      controls.setCell(row, 列_状态, disposalFailedText(controls));
    } else {
      controls.setStatusText(1, "视频素材目录没有视频");
      controls.setCell(row, 列_状态, "没有视频");
    }
    return {};
  }
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

bool disposeVideo(ControlModel& controls, const PublishedVideo& video) {
  FileIdentity current;
  // Gone already, or replaced by another video of the same name.
  if (!regularFileIdentity(video.path, current) || current != video.identity) return true;
  const std::string cover = coverPathOf(video.path);
  if (controls.checked(ControlId::单选框_删除)) {
    if (::unlink(video.path.c_str()) != 0 && errno != ENOENT) return false;
    if (cover != video.path) ::unlink(cover.c_str());
    return true;
  }
  return moveInto(usedVideoFolder(controls), video.path, cover);
}

bool usedFolderIsAmongVideos(ControlModel& controls, const std::string& videoFolder) {
  if (!moveMode(controls) || videoFolder.empty()) return false;
  const std::filesystem::path used = canonicalFolder(usedVideoFolder(controls));
  const std::filesystem::path videos = canonicalFolder(videoFolder);
  return used == videos || (controls.checked(ControlId::选择框_读取子文件夹) && isWithin(used, videos));
}

std::string disposalFailedText(const ControlModel& controls) {
  return controls.checked(ControlId::单选框_删除) ? "已发布，视频无法删除" : "已发布，视频无法移到已使用目录";
}

}  // namespace vidralo
