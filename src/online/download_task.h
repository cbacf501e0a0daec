#pragma once
// The state of one download, shared by the caller, its manager and its
// workers. Internal to the downloader.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "online/block_downloader.h"

namespace vidralo {

// Values of the status word.
enum TaskStatus : int { kRunning = 0, kStopRequested = 1, kPaused = 2, kFailed = -1 };

struct BlockDownloader::Task {
  int number = 0;
  std::string url;
  std::string target;     // the file the caller asked for
  std::string temporary;  // beside it, renamed over it when complete
  DownloadReport report;
  DownloadLimits limits;
  // The temporary file, locked while the task runs so that the clean-up of
  // leftovers passes over it.
  int fd = -1;
  std::int64_t length = 0;
  std::int64_t blockCount = 0;
  int workerLimit = 1;

  // Guards the fields below; `changed` is signalled on every change of them.
  std::mutex lock;
  std::condition_variable changed;
  // Written under the lock; read without it where only a stop matters.
  std::atomic<int> status{kRunning};
  std::int64_t nextBlock = 0;  // 0-based number of the next block to take
  std::int64_t downloaded = 0;
  bool ended = false;  // file and mapping released

  std::thread manager;
  std::mutex joinMutex;
  // Taken around every write of the file: see BlockFetch::writeAt.
  std::mutex writeMutex;

  // Closes the temporary file (it stays on disk) and so drops its lock.
  void releaseFile();
  // kFailed unless a stop was requested (a stopped task stays stopped).
  void fail();
  bool stopping() const { return status == kStopRequested || status == kFailed; }
};

// The manager: starts the workers, waits for them, releases the file and
// makes the final report.
void runDownloadManager(BlockDownloader::Task& task);

// Fixed request lines of every request the downloader makes.
std::vector<std::string> downloadRequestHeaders();

}  // namespace vidralo
