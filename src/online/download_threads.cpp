// The threads of a download. The manager starts the workers and reports the
// end; each worker takes the next block, fetches it with a Range request on
// its own connection (kept open from block to block) and writes it at its
// offset of the file.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <system_error>
#include <vector>

#include "common/text_rules.h"
#include "http/header_text.h"
#include "online/curl_stream.h"
#include "online/download_task.h"

namespace vidralo {
namespace {

// What one block's answer must be, and what arrived of it.
class BlockFetch {
 public:
  BlockFetch(BlockDownloader::Task& task, std::int64_t block)
      : task_(task),
        first_(block * BlockDownloader::kBlockSize),
        length_(std::min(BlockDownloader::kBlockSize, task.length - first_)) {}

  // The request asks for a whole block even when the file ends sooner; the
  // server sends what exists.
  std::string rangeLine() const {
    return "Range:bytes=" + numberToText(first_) + "-" + numberToText(first_ + BlockDownloader::kBlockSize - 1);
  }

  void onHeader(std::string_view line) {
    if (line.starts_with("HTTP/")) {
      contentRange_.clear();
      contentEncoding_.clear();
      return;
    }
    if (std::string value = headerValue(line, "Content-Range"); !value.empty()) contentRange_ = value;
    if (std::string value = headerValue(line, "Content-Encoding"); !value.empty()) contentEncoding_ = value;
  }

  bool onBody(const CurlStream& stream, const char* data, std::size_t size) {
    if (written_ == 0 && !answerFits(stream.responseCode())) return false;
    // Not a byte outside the block, whatever the server sends.
    if (static_cast<std::int64_t>(size) > length_ - written_) return false;
    // Written with pwrite rather than through a mapping of the file: a first
    // touch of each mapped page faulted, and the kernel zeroed every page of
    // the reserved blocks before the bytes were copied over it, which cost
    // as much processor time as the copying itself.
    if (!writeAt(data, size, first_ + written_)) return false;
    written_ += static_cast<std::int64_t>(size);

    std::unique_lock lock(task_.lock);
    task_.downloaded += static_cast<std::int64_t>(size);
    task_.report(task_.number, kDownloadProgress, task_.length, task_.downloaded);
    task_.changed.wait(lock, [this] { return task_.status != kPaused; });
    return !task_.stopping();
  }

  bool complete() const { return written_ == length_; }

 private:
  bool writeAt(const char* data, std::size_t size, std::int64_t offset) const {
    // The file system lets one write into a file at a time, and a second
    // writer spins on the processor while the first copies its bytes. Here
    // it sleeps instead, which saved about a quarter of the download's
    // processor time.
    std::lock_guard lock(task_.writeMutex);
    while (size > 0) {
      const ssize_t count = pwrite(task_.fd, data, size, offset);
      if (count < 0 && errno == EINTR) continue;
      if (count <= 0) return false;
      data += count;
      size -= static_cast<std::size_t>(count);
      offset += count;
    }
    return true;
  }

  // A 206 for exactly this block, in plain bytes; anything else (a 200 with
  // the whole file, another range, a compressed body) is not written.
  bool answerFits(long code) const {
    const std::string expected = "bytes " + numberToText(first_) + "-" + numberToText(first_ + length_ - 1) + "/" +
                                 numberToText(task_.length);
    const bool plain = contentEncoding_.empty() || contentEncoding_ == "identity";
    return code == 206 && contentRange_ == expected && plain;
  }

  BlockDownloader::Task& task_;
  const std::int64_t first_;
  const std::int64_t length_;
  std::int64_t written_ = 0;
  std::string contentRange_;
  std::string contentEncoding_;
};

bool fetchBlock(BlockDownloader::Task& task, CurlStream& stream, std::int64_t block) {
  BlockFetch fetch(task, block);
  std::vector<std::string> headers = downloadRequestHeaders();
  headers.push_back(fetch.rangeLine());
  stream.setHeaders(headers);
  const CURLcode result =
      stream.perform([&fetch](std::string_view line) { fetch.onHeader(line); },
                     [&](const char* data, std::size_t size) { return fetch.onBody(stream, data, size); },
                     [&task] { return !task.stopping(); });
  return result == CURLE_OK && fetch.complete();
}

void runWorker(BlockDownloader::Task& task) {
  CurlStream stream;
  if (!stream) return task.fail();
  stream.setSpeedFloor(task.limits.floorBytesPerSecond, task.limits.floorSeconds);
  stream.setUrl(task.url);
  stream.setFollowRedirects(true);
  for (;;) {
    std::int64_t block = 0;
    {
      std::unique_lock lock(task.lock);
      task.changed.wait(lock, [&task] { return task.status != kPaused; });
      if (task.status != kRunning || task.nextBlock >= task.blockCount) return;
      block = task.nextBlock++;
    }
    if (!fetchBlock(task, stream, block)) return task.fail();
  }
}

}  // namespace

std::vector<std::string> downloadRequestHeaders() {
  // Bytes are written as they arrive, so no content coding may be accepted.
  return {"Accept: */*", "Accept-Language: zh-cn", "Accept-Encoding: identity",
          "User-Agent: Mozilla/4.0(compatible; MSIE 6.0; Windows NT 5.0; MyIE2; .NET CLR 1.1.4322)"};
}

void BlockDownloader::Task::releaseFile() {
  close(fd);
  fd = -1;
}

void BlockDownloader::Task::fail() {
  {
    std::lock_guard guard(lock);
    if (status != kStopRequested) status = kFailed;
  }
  changed.notify_all();
}

void runDownloadManager(BlockDownloader::Task& task) {
  std::vector<std::thread> workers;
  // start() has already limited the workers to the number of blocks.
  for (int i = 0; i < task.workerLimit; ++i) {
    try {
      workers.emplace_back(runWorker, std::ref(task));
    } catch (const std::system_error&) {
      task.fail();
      break;
    }
  }
  for (std::thread& worker : workers) worker.join();

  int outcome = kRunning;
  std::int64_t downloaded = 0;
  {
    // A task paused after its last byte stays paused until it is resumed or
    // stopped; only then is it finished or abandoned.
    std::unique_lock lock(task.lock);
    task.changed.wait(lock, [&task] { return task.status != kPaused; });
    outcome = task.status;
    downloaded = task.downloaded;
  }
  // Renamed or removed while still open and locked, so that no clean-up of
  // leftovers takes it in between.
  const bool complete = outcome == kRunning && downloaded == task.length;
  if (complete && std::rename(task.temporary.c_str(), task.target.c_str()) == 0) {
    outcome = kRunning;
  } else {
    std::remove(task.temporary.c_str());
    if (outcome != kStopRequested) outcome = kFailed;
  }
  task.releaseFile();
  {
    std::lock_guard lock(task.lock);
    task.ended = true;
  }
  if (outcome == kRunning) task.report(task.number, kDownloadFinished, task.length, downloaded);
  if (outcome == kFailed) task.report(task.number, kDownloadFailed, 0, 0);
}

}  // namespace vidralo
