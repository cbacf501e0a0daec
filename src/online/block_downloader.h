#pragma once
// BlockDownloader fetches one file over HTTP with several connections at once
// and writes it straight into a memory-mapped file. The file is cut into
// blocks of 1 MiB; each is fetched with a Range request and written at its
// final offset, so blocks may land in any order. A manager thread per task
// starts at most the worker limit of workers, which take the blocks in order,
// and reports the end of the task.
//
// The download goes into a temporary file beside the target (target +
// ".part-" + six characters), which is renamed over the target only when
// every byte has arrived: a failed or stopped task leaves no partial file
// under the target's name. A block is accepted only from a 206 answer for
// exactly the range asked for, unencoded, complete. Only http and https are
// spoken; certificates are checked as config.ini [http] verify_tls says.
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace vidralo {

// States of a report.
inline constexpr int kDownloadProgress = 1;  // after every chunk written
inline constexpr int kDownloadFinished = 0;  // once, the file is complete
inline constexpr int kDownloadFailed = -1;   // once, total and downloaded 0

// (task number, state, total bytes, downloaded bytes). Runs on the task's
// manager or worker threads; progress reports are made while the task's lock
// is held, so a report must not call back into the downloader for the same
// task and should return quickly: a slow report holds up every worker of the
// task.
using DownloadReport = std::function<void(int task, int state, std::int64_t total, std::int64_t downloaded)>;

// What the downloader refuses to spend or wait for.
struct DownloadLimits {
  // Free space that must remain on the target's file system after the
  // whole file has been reserved.
  std::int64_t freeSpaceMargin = 64ll << 20;
  // A connection moving fewer bytes per second than this for `floorSeconds`
  // on end fails the task.
  long floorBytesPerSecond = 1024;
  long floorSeconds = 30;
  // The whole exchange that asks for the file's length and name.
  long probeSeconds = 30;
};

class BlockDownloader {
 public:
  static constexpr std::int64_t kBlockSize = 1048576;

  explicit BlockDownloader(DownloadLimits limits = {});
  // Stops every task and waits for all of their threads.
  ~BlockDownloader();
  BlockDownloader(const BlockDownloader&) = delete;
  BlockDownloader& operator=(const BlockDownloader&) = delete;

  // Starts downloading `url` to `savePath` with at most `workerLimit`
  // connections. A save path without a file extension names a directory:
  // remoteFileName(url) is appended (and `savePath` is updated to the path
  // used). Returns the task's number (1, 2, ... in call order; a failed start
  // takes a number too), or -1 when the server cannot be reached, gives no
  // length, or the file cannot be created. A failed start makes no report.
  // Blocks while it asks the server for the file's length (a stop requested
  // for the calling thread ends that wait): not for the window thread. A
  // length that would leave less than the free-space margin is refused.
  int start(const std::string& url, std::string& savePath, int workerLimit, DownloadReport report);

  // The file name the server (Content-Location) or the URL suggests: the
  // last path component, without the query.
  std::string remoteFileName(const std::string& url) const;

  // Removes from `folder` the temporary files of downloads that were killed
  // or cut off by a power loss; those of running downloads (of any process)
  // stay. Returns how many were removed.
  static int removeLeftovers(const std::string& folder);

  // Pause holds every worker at its next chunk; resume lets them go on; stop
  // ends the task without a final report and removes its temporary file.
  // Each returns false for an unknown task or one that has already ended.
  bool pause(int task);
  bool resume(int task);
  bool stop(int task);
  void pauseAll();
  void resumeAll();
  void stopAll();

  // Blocks until the task has ended and released its file and threads
  // (its final report, if any, has been made). Not from a report.
  void wait(int task);
  // True until the task has ended and released its file.
  bool active(int task) const;
  // How many starts there were (the highest task number).
  int taskCount() const;

  struct Task;

 private:
  std::shared_ptr<Task> task(int number) const;
  // Joins the threads of tasks that have ended.
  void reap();

  const DownloadLimits limits_;
  mutable std::mutex tasksMutex_;
  // Every start in call order; nullptr for a failed start.
  std::vector<std::shared_ptr<Task>> tasks_;
};

// The program's one downloader.
BlockDownloader& blockDownloader();

}  // namespace vidralo
