#pragma once
// The publication journal "\data\published.jsonl": one JSON line per step of
// a video's publication (time, account, path, size, modification time,
// title, state), appended and synced to disk before the job goes on.
//
// An "attempt" line is written before the confirm button is pressed: from
// that click on the platform may have the video, and a stop, a crash or a
// kill can come before the page says so. The line becomes "published" once
// the publication counts as done, or is "withdrawn" when the page answered
// that it did not go through. A video whose last line is an attempt is
// never published again by itself: it needs the operator's look (delete its
// line to publish it again, or the video when the platform has it). Lines
// of older versions carry no state and count as published.
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
  // False: the confirm button was pressed, the outcome is not known.
  bool confirmed = true;
};

enum class JournalState { Attempt, Published, Withdrawn };

struct JournalEntry {
  std::string time;  // "yyyy-MM-dd HH:mm:ss", local
  std::string accountId;
  PublishedVideo video;
  std::string title;
  JournalState state = JournalState::Published;
  // Seconds since the epoch when the file was first found missing; 0 while
  // it is there.
  std::int64_t missingSince = 0;
};

// An entry whose file is missing while its folder is unreachable or empty
// (an unmounted drive, a share that is away) is kept this long.
inline constexpr std::int64_t kMissingFileGraceSeconds = 7 * 24 * 3600;

class PublicationJournal {
 public:
  // The journal of the program directory.
  PublicationJournal();
  explicit PublicationJournal(std::string path);

  // Appends one line and syncs it to disk; false when it could not be
  // written (a symbolic link in the journal's place is not followed).
  bool record(const JournalEntry& entry);
  const std::string& path() const { return path_; }

  // The videos whose latest line is an attempt or a publication. An entry is
  // dropped once its file is gone from a folder that still holds something,
  // or has been missing for the grace; superseded, withdrawn and damaged
  // lines go as well when the file is rewritten.
  std::vector<PublishedVideo> publishedVideos();

 private:
  std::string path_;
};

// The entry of `path` with `identity` among `published`; null when none.
const PublishedVideo* findRecorded(const std::vector<PublishedVideo>& published, const std::string& path,
                                   const FileIdentity& identity);

}  // namespace vidralo
