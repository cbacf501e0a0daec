#pragma once
// The publication journal "\data\published.jsonl": one JSON line per video
// the platform accepted (time, account, path, size, modification time,
// title), appended and flushed to disk the moment the publication counts as
// done, before the video is disposed of. A video that could not be deleted
// or moved, or whose disposal a stop or a kill cut off, is thus known as
// published and never published again.
#include <cstdint>
#include <string>
#include <vector>

namespace vidralo {

// What tells one file from another that later takes its name.
struct FileIdentity {
  std::int64_t size = 0;
  std::int64_t modifiedNs = 0;  // modification time, ns since the epoch
  bool operator==(const FileIdentity&) const = default;
};

// The identity of the regular file at `path`; false for anything else.
bool regularFileIdentity(const std::string& path, FileIdentity& identity);

struct PublishedVideo {
  std::string path;
  FileIdentity identity;
};

struct JournalEntry {
  std::string time;  // "yyyy-MM-dd HH:mm:ss", local
  std::string accountId;
  PublishedVideo video;
  std::string title;
};

class PublicationJournal {
 public:
  // The journal of the program directory.
  PublicationJournal();
  explicit PublicationJournal(std::string path);

  // Appends one line and syncs it to disk; false when it could not be written.
  bool record(const JournalEntry& entry);
  const std::string& path() const { return path_; }

  // The videos recorded whose file still exists. Entries whose file is gone
  // (disposed of at last) and lines that do not parse are dropped from the
  // file as it is read.
  std::vector<PublishedVideo> publishedVideos();

 private:
  std::string path_;
};

// True when `video` is among `published` with the same path and identity.
bool isRecorded(const std::vector<PublishedVideo>& published, const std::string& path, const FileIdentity& identity);

}  // namespace vidralo
