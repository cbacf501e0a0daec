#include "online/block_downloader.h"

#include <fcntl.h>
#include <linux/falloc.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <system_error>

#include "common/text_rules.h"
#include "http/header_text.h"
#include "online/curl_stream.h"
#include "online/download_task.h"
#include "online/save_path.h"

namespace vidralo {
namespace {

// The length the server announces for `url`; -1 when it cannot be reached,
// answers with an error, or announces none. Only the head of the answer is
// read.
std::int64_t announcedLength(const std::string& url) {
  CurlStream stream;
  if (!stream) return -1;
  stream.setUrl(url);
  stream.setHeaders(downloadRequestHeaders());
  stream.setFollowRedirects(true);
  const CURLcode result = stream.perform({}, [](const char*, std::size_t) { return false; });
  if (result != CURLE_OK && result != CURLE_WRITE_ERROR) return -1;
  const long code = stream.responseCode();
  if (code < 200 || code >= 300) return -1;
  return stream.contentLength();
}

// A fresh temporary file beside `target`, sized to `length`, mapped whole.
bool createOutput(BlockDownloader::Task& task) {
  std::string name = task.target + ".part-XXXXXX";
  const int fd = mkstemp(name.data());
  if (fd < 0) return false;
  fchmod(fd, 0644);
  // The blocks are reserved up front: a write through the mapping into a
  // hole that the disk cannot fill would end the program with SIGBUS. Only
  // where the file system cannot reserve is the file merely sized.
  const int reserved = fallocate(fd, 0, 0, task.length);
  const bool sized = reserved == 0 || ((errno == EOPNOTSUPP || errno == ENOSYS) && ftruncate(fd, task.length) == 0);
  void* mapping = MAP_FAILED;
  if (sized) mapping = mmap(nullptr, static_cast<std::size_t>(task.length), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  // The blocks are handed out in file order. Without this hint the first
  // write to each page faults through the general readahead, which here spent
  // up to ten times the download's own time zeroing page cache for the
  // reserved (still unwritten) blocks; with it the run time stays even.
  if (mapping != MAP_FAILED) madvise(mapping, static_cast<std::size_t>(task.length), MADV_SEQUENTIAL);
  if (mapping == MAP_FAILED) {
    close(fd);
    std::remove(name.c_str());
    return false;
  }
  task.fd = fd;
  task.mapping = static_cast<char*>(mapping);
  task.temporary = std::move(name);
  return true;
}

void joinManager(BlockDownloader::Task& task) {
  std::lock_guard guard(task.joinMutex);
  if (task.manager.joinable() && task.manager.get_id() != std::this_thread::get_id()) task.manager.join();
}

bool hasEnded(BlockDownloader::Task& task) {
  std::lock_guard guard(task.lock);
  return task.ended;
}

// Moves a running task's status word from one of `from` to `to`.
bool changeStatus(BlockDownloader::Task* task, std::initializer_list<int> from, int to) {
  if (!task) return false;
  {
    std::lock_guard guard(task->lock);
    if (task->ended || std::find(from.begin(), from.end(), task->status.load()) == from.end()) return false;
    task->status = to;
  }
  task->changed.notify_all();
  return true;
}

}  // namespace

BlockDownloader::BlockDownloader() = default;

BlockDownloader::~BlockDownloader() {
  stopAll();
  // Joined outside the list's lock: a final report may still ask about tasks.
  std::vector<std::shared_ptr<Task>> tasks;
  {
    std::lock_guard lock(tasksMutex_);
    tasks = tasks_;
  }
  for (const auto& task : tasks)
    if (task) joinManager(*task);
}

int BlockDownloader::start(const std::string& url, std::string& savePath, int workerLimit, DownloadReport report) {
  reap();
  int number = 0;
  {
    std::lock_guard lock(tasksMutex_);
    tasks_.push_back(nullptr);
    number = static_cast<int>(tasks_.size());
  }
  savePath = completeSavePath(savePath, [&url] { return remoteFileName(url); });

  auto task = std::make_shared<Task>();
  task->number = number;
  task->url = url;
  task->target = savePath;
  task->report = report ? std::move(report) : DownloadReport([](int, int, std::int64_t, std::int64_t) {});
  task->length = announcedLength(url);
  if (task->length <= 0 || !createOutput(*task)) return -1;
  task->blockCount = (task->length + kBlockSize - 1) / kBlockSize;
  task->workerLimit = static_cast<int>(std::clamp<std::int64_t>(workerLimit, 1, task->blockCount));

  // The task is listed before its manager can make a report.
  {
    std::lock_guard lock(tasksMutex_);
    tasks_[static_cast<std::size_t>(number - 1)] = task;
  }
  try {
    task->manager = std::thread(runDownloadManager, std::ref(*task));
  } catch (const std::system_error&) {
    task->releaseFile();
    std::remove(task->temporary.c_str());
    std::lock_guard lock(tasksMutex_);
    tasks_[static_cast<std::size_t>(number - 1)] = nullptr;
    return -1;
  }
  return number;
}

std::string BlockDownloader::remoteFileName(const std::string& url) {
  CurlStream stream;
  std::string location;
  if (stream) {
    const auto ticks = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now().time_since_epoch());
    stream.setUrl(url);
    stream.setUserAgent("我的下载" + numberToText(ticks.count()));
    stream.setFollowRedirects(false);
    stream.perform(
        [&location](std::string_view line) {
          if (std::string value = headerValue(line, "Content-Location"); !value.empty()) location = value;
        },
        [](const char*, std::size_t) { return false; });
  }
  return fileNameInAddress(location.empty() ? url : location);
}

std::shared_ptr<BlockDownloader::Task> BlockDownloader::task(int number) const {
  std::lock_guard lock(tasksMutex_);
  if (number < 1 || number > static_cast<int>(tasks_.size())) return nullptr;
  return tasks_[static_cast<std::size_t>(number - 1)];
}

bool BlockDownloader::pause(int number) { return changeStatus(task(number).get(), {kRunning}, kPaused); }

bool BlockDownloader::resume(int number) { return changeStatus(task(number).get(), {kPaused}, kRunning); }

bool BlockDownloader::stop(int number) {
  return changeStatus(task(number).get(), {kRunning, kPaused}, kStopRequested);
}

void BlockDownloader::pauseAll() {
  for (int n = 1; n <= taskCount(); ++n) pause(n);
}

void BlockDownloader::resumeAll() {
  for (int n = 1; n <= taskCount(); ++n) resume(n);
}

void BlockDownloader::stopAll() {
  for (int n = 1; n <= taskCount(); ++n) stop(n);
}

void BlockDownloader::wait(int number) {
  if (auto found = task(number)) joinManager(*found);
}

bool BlockDownloader::active(int number) const {
  auto found = task(number);
  return found && !hasEnded(*found);
}

int BlockDownloader::taskCount() const {
  std::lock_guard lock(tasksMutex_);
  return static_cast<int>(tasks_.size());
}

void BlockDownloader::reap() {
  std::vector<std::shared_ptr<Task>> ended;
  {
    std::lock_guard lock(tasksMutex_);
    for (const auto& task : tasks_)
      if (task && hasEnded(*task)) ended.push_back(task);
  }
  for (const auto& task : ended) joinManager(*task);
}

BlockDownloader& blockDownloader() {
  static BlockDownloader downloader;
  return downloader;
}

}  // namespace vidralo
