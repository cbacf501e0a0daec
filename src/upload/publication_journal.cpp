#include "upload/publication_journal.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <algorithm>
#include <filesystem>
#include <mutex>

#include "common/program_dir.h"
#include "common/whole_file.h"
#include "log/file_replace.h"

namespace vidralo {
namespace {

// The job thread writes, a stopped job thread may still be finishing; one
// journal file, one writer at a time.
std::mutex journalMutex;

namespace key {
constexpr const char* time = "time";
constexpr const char* account = "account";
constexpr const char* path = "path";
constexpr const char* size = "size";
constexpr const char* modified = "mtime_ns";
constexpr const char* title = "title";
}  // namespace key

std::string lineOf(const JournalEntry& entry) {
  rapidjson::StringBuffer buffer;
  rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
  auto text = [&](const char* name, const std::string& value) {
    writer.Key(name);
    writer.String(value.data(), static_cast<rapidjson::SizeType>(value.size()));
  };
  writer.StartObject();
  text(key::time, entry.time);
  text(key::account, entry.accountId);
  text(key::path, entry.video.path);
  writer.Key(key::size);
  writer.Int64(entry.video.identity.size);
  writer.Key(key::modified);
  writer.Int64(entry.video.identity.modifiedNs);
  text(key::title, entry.title);
  writer.EndObject();
  return std::string(buffer.GetString(), buffer.GetSize()) + "\n";
}

bool parseLine(std::string_view line, PublishedVideo& video) {
  rapidjson::Document json;
  if (json.Parse(line.data(), line.size()).HasParseError() || !json.IsObject()) return false;
  const auto path = json.FindMember(key::path);
  const auto size = json.FindMember(key::size);
  const auto modified = json.FindMember(key::modified);
  if (path == json.MemberEnd() || !path->value.IsString() || size == json.MemberEnd() || !size->value.IsInt64() ||
      modified == json.MemberEnd() || !modified->value.IsInt64())
    return false;
  video.path.assign(path->value.GetString(), path->value.GetStringLength());
  video.identity = {size->value.GetInt64(), modified->value.GetInt64()};
  return true;
}

// A line cut off by a kill is finished with a line break first, so that the
// next line stays a line of its own.
bool endsWithLineBreak(int fd) {
  struct stat info {};
  if (::fstat(fd, &info) != 0 || info.st_size == 0) return true;
  char last = 0;
  return ::pread(fd, &last, 1, info.st_size - 1) == 1 && last == '\n';
}

}  // namespace

bool regularFileIdentity(const std::string& path, FileIdentity& identity) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
  identity = {static_cast<std::int64_t>(info.st_size),
              static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec};
  return true;
}

PublicationJournal::PublicationJournal() : PublicationJournal(programPath("\\data\\published.jsonl")) {}

PublicationJournal::PublicationJournal(std::string path) : path_(std::move(path)) {}

bool PublicationJournal::record(const JournalEntry& entry) {
  std::lock_guard lock(journalMutex);
  std::error_code error;
  std::filesystem::create_directories(std::filesystem::path(path_).parent_path(), error);
  const int fd = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  const std::string line = (endsWithLineBreak(fd) ? "" : "\n") + lineOf(entry);
  bool ok = writeAllBytes(fd, line) && ::fdatasync(fd) == 0;
  ok = ::close(fd) == 0 && ok;
  return ok;
}

std::vector<PublishedVideo> PublicationJournal::publishedVideos() {
  std::lock_guard lock(journalMutex);
  std::string bytes;
  if (readWholeFile(path_, bytes) != ReadOutcome::Read) return {};
  std::vector<PublishedVideo> kept;
  std::string keptLines;
  bool dropped = false;
  std::size_t start = 0;
  while (start < bytes.size()) {
    std::size_t end = bytes.find('\n', start);
    if (end == std::string::npos) end = bytes.size();
    const std::string_view line(bytes.data() + start, end - start);
    start = end + 1;
    PublishedVideo video;
    FileIdentity ignored;
    if (!parseLine(line, video) || !regularFileIdentity(video.path, ignored)) {
      dropped = true;
      continue;
    }
    kept.push_back(std::move(video));
    keptLines.append(line).push_back('\n');
  }
  if (dropped) replaceFileContents(path_, keptLines, 0644);
  return kept;
}

bool isRecorded(const std::vector<PublishedVideo>& published, const std::string& path, const FileIdentity& identity) {
  return std::any_of(published.begin(), published.end(),
                     [&](const PublishedVideo& video) { return video.path == path && video.identity == identity; });
}

}  // namespace vidralo
