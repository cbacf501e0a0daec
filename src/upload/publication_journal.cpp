#include "upload/publication_journal.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <map>
#include <mutex>

#include "common/clock.h"
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
constexpr const char* state = "state";
constexpr const char* missingSince = "missing_since";
}  // namespace key

// The journal holds what was published under which account: its owner's only.
constexpr mode_t kJournalMode = 0600;

constexpr const char* stateName(JournalState state) {
  switch (state) {
    case JournalState::Attempt: return "attempt";
    case JournalState::Withdrawn: return "withdrawn";
    case JournalState::Published: break;
  }
  return "published";
}

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
  text(key::state, stateName(entry.state));
  if (entry.missingSince != 0) {
    writer.Key(key::missingSince);
    writer.Int64(entry.missingSince);
  }
  writer.EndObject();
  return std::string(buffer.GetString(), buffer.GetSize()) + "\n";
}

std::string stringOf(const rapidjson::Document& json, const char* name) {
  const auto found = json.FindMember(name);
  return found != json.MemberEnd() && found->value.IsString()
             ? std::string(found->value.GetString(), found->value.GetStringLength())
             : std::string();
}

bool parseLine(std::string_view line, JournalEntry& entry) {
  rapidjson::Document json;
  if (json.Parse(line.data(), line.size()).HasParseError() || !json.IsObject()) return false;
  const auto path = json.FindMember(key::path);
  const auto size = json.FindMember(key::size);
  const auto modified = json.FindMember(key::modified);
  if (path == json.MemberEnd() || !path->value.IsString() || size == json.MemberEnd() || !size->value.IsInt64() ||
      modified == json.MemberEnd() || !modified->value.IsInt64())
    return false;
  entry.video.path.assign(path->value.GetString(), path->value.GetStringLength());
  entry.video.identity = {size->value.GetInt64(), modified->value.GetInt64()};
  entry.time = stringOf(json, key::time);
  entry.accountId = stringOf(json, key::account);
  entry.title = stringOf(json, key::title);
  const std::string state = stringOf(json, key::state);
  entry.state = state == stateName(JournalState::Attempt)     ? JournalState::Attempt
                : state == stateName(JournalState::Withdrawn) ? JournalState::Withdrawn
                                                              : JournalState::Published;
  entry.video.confirmed = entry.state != JournalState::Attempt;
  const auto missing = json.FindMember(key::missingSince);
  entry.missingSince = missing != json.MemberEnd() && missing->value.IsInt64() ? missing->value.GetInt64() : 0;
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

enum class FilePresence { There, Gone, Unknown };

FilePresence presenceOf(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) == 0) return FilePresence::There;
  return errno == ENOENT || errno == ENOTDIR ? FilePresence::Gone : FilePresence::Unknown;
}

// A folder that lists at least one entry: a drive that is not mounted, a
// share that is away or a renamed folder leaves nothing or an empty mount
// point there, and its files may come back.
bool folderHoldsSomething(const std::string& folder) {
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return false;
  bool found = false;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string_view name = entry->d_name;
    if (name != "." && name != "..") {
      found = true;
      break;
    }
  }
  ::closedir(dir);
  return found;
}

std::string keyOf(const PublishedVideo& video) {
  return video.path + '\0' + std::to_string(video.identity.size) + '\0' + std::to_string(video.identity.modifiedNs);
}

// Brings a kept entry up to date with its file. False: the entry goes.
bool stillNeeded(JournalEntry& entry, std::int64_t now, bool& changed) {
  switch (presenceOf(entry.video.path)) {
    case FilePresence::There:
      if (entry.missingSince != 0) {
        entry.missingSince = 0;
        changed = true;
      }
      return true;
    case FilePresence::Unknown:
      return true;
    case FilePresence::Gone:
      break;
  }
  if (folderHoldsSomething(std::filesystem::path(entry.video.path).parent_path().string())) return false;
  if (entry.missingSince == 0) {
    entry.missingSince = now;
    changed = true;
    return true;
  }
  return now - entry.missingSince < kMissingFileGraceSeconds;
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
  const int fd = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_NOFOLLOW | O_CLOEXEC, kJournalMode);
  if (fd < 0) return false;
  ::fchmod(fd, kJournalMode);  // a journal of an older version was readable by all
  const std::string line = (endsWithLineBreak(fd) ? "" : "\n") + lineOf(entry);
  bool ok = writeAllBytes(fd, line) && ::fdatasync(fd) == 0;
  ok = ::close(fd) == 0 && ok;
  return ok;
}

std::vector<PublishedVideo> PublicationJournal::publishedVideos() {
  std::lock_guard lock(journalMutex);
  std::string bytes;
  if (isSymbolicLink(path_) || readWholeFile(path_, bytes) != ReadOutcome::Read) return {};
  // The latest line of each video counts, in the order of those lines.
  std::vector<JournalEntry> entries;
  std::map<std::string, std::size_t> positions;
  std::size_t lines = 0;
  for (std::size_t start = 0; start < bytes.size();) {
    std::size_t end = bytes.find('\n', start);
    if (end == std::string::npos) end = bytes.size();
    const std::string_view line(bytes.data() + start, end - start);
    start = end + 1;
    ++lines;
    JournalEntry entry;
    if (!parseLine(line, entry)) continue;
    const std::string key = keyOf(entry.video);
    if (const auto known = positions.find(key); known != positions.end()) {
      entries[known->second].state = JournalState::Withdrawn;  // superseded
      positions.erase(known);
    }
    if (entry.state == JournalState::Withdrawn) continue;
    positions[key] = entries.size();
    entries.push_back(std::move(entry));
  }
  const std::int64_t now = std::chrono::duration_cast<std::chrono::seconds>(
                               appClock().wallNow().time_since_epoch()).count();
  bool changed = false;
  std::vector<PublishedVideo> kept;
  std::string keptLines;
  for (JournalEntry& entry : entries) {
    if (entry.state == JournalState::Withdrawn || !stillNeeded(entry, now, changed)) continue;
    kept.push_back(entry.video);
    keptLines += lineOf(entry);
  }
  if (changed || kept.size() != lines) replaceFileContents(path_, keptLines, kJournalMode);
  return kept;
}

const PublishedVideo* findRecorded(const std::vector<PublishedVideo>& published, const std::string& path,
                                   const FileIdentity& identity) {
  const auto found = std::find_if(published.begin(), published.end(), [&](const PublishedVideo& video) {
    return video.path == path && video.identity == identity;
  });
  return found == published.end() ? nullptr : &*found;
}

}  // namespace vidralo
