#include "online/block_downloader.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <system_error>

#include "common/text_rules.h"
#include "http/header_text.h"
#include "log/file_replace.h"
#include "online/curl_stream.h"
#include "online/download_task.h"
#include "online/save_path.h"

namespace vidralo {
namespace {

constexpr std::string_view kTemporaryInfix = ".part-";
constexpr std::size_t kTemporaryRandomLength = 6;  // mkstemp's XXXXXX

// A stream for the requests that ask about the file: bounded as a whole.
void limitProbe(CurlStream& stream, const DownloadLimits& limits) {
  stream.setSpeedFloor(1, limits.floorSeconds);
  stream.setTimeLimit(limits.probeSeconds);
}

// The length the server announces for `url`; -1 when it cannot be reached,
// answers with an error, or announces none. Only the head of the answer is
// read.
std::int64_t announcedLength(const std::string& url, const DownloadLimits& limits) {
  CurlStream stream;
  if (!stream) return -1;
  limitProbe(stream, limits);
  stream.setUrl(url);
  stream.setHeaders(downloadRequestHeaders());
  stream.setFollowRedirects(true);
  const CURLcode result = stream.perform({}, [](const char*, std::size_t) { return false; });
  if (result != CURLE_OK && result != CURLE_WRITE_ERROR) return -1;
  const long code = stream.responseCode();
  if (code < 200 || code >= 300) return -1;
  return stream.contentLength();
}

// True when the file system holding `fd` keeps at least `margin` bytes
// free after `length` more.
bool roomFor(int fd, std::int64_t length, std::int64_t margin) {
  struct statvfs space {};
  if (fstatvfs(fd, &space) != 0) return false;
  const auto available = static_cast<std::int64_t>(space.f_bavail) * static_cast<std::int64_t>(space.f_frsize);
  return available - length >= margin;
}

// A fresh temporary file beside `target`, locked, its blocks reserved for
// `length` bytes.
bool createOutput(BlockDownloader::Task& task) {
  std::string name = task.target + std::string(kTemporaryInfix) + std::string(kTemporaryRandomLength, 'X');
  const int fd = mkostemp(name.data(), O_CLOEXEC);
  if (fd < 0) return false;
  fchmod(fd, 0644);
  flock(fd, LOCK_EX);
  // The blocks are reserved up front, so that a full disk fails the start
  // rather than a write halfway. Only where the file system cannot reserve
  // is the file merely sized.
  const bool sized = roomFor(fd, task.length, task.limits.freeSpaceMargin) &&
                     (fallocate(fd, 0, 0, task.length) == 0 ||
                      ((errno == EOPNOTSUPP || errno == ENOSYS) && ftruncate(fd, task.length) == 0));
  if (!sized) {
    std::remove(name.c_str());
    close(fd);
    return false;
  }
  task.fd = fd;
  task.temporary = std::move(name);
  return true;
}

bool isTemporaryName(std::string_view name) {
  const std::size_t infix = name.rfind(kTemporaryInfix);
  return infix != std::string_view::npos && infix > 0 &&
         name.size() - infix - kTemporaryInfix.size() == kTemporaryRandomLength;
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

BlockDownloader::BlockDownloader(DownloadLimits limits) : limits_(limits) {}

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
  savePath = completeSavePath(savePath, [this, &url] { return remoteFileName(url); });

  auto task = std::make_shared<Task>();
  task->number = number;
  task->url = url;
  task->target = savePath;
  task->report = report ? std::move(report) : DownloadReport([](int, int, std::int64_t, std::int64_t) {});
  task->limits = limits_;
  task->length = announcedLength(url, limits_);
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

std::string BlockDownloader::remoteFileName(const std::string& url) const {
  CurlStream stream;
  std::string location;
  if (stream) {
    limitProbe(stream, limits_);
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

int BlockDownloader::removeLeftovers(const std::string& folder) { return removeUnlockedFiles(folder, isTemporaryName); }

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
