#include "online/block_downloader.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>

#include <sys/file.h>

#include "services_sim/simulated_services.h"
#include "simulator/loopback_server.h"
#include "support/hostile_server.h"
#include "support/poll.h"
#include "support/program_directory.h"
#include "support/self_signed_certificate.h"
#include "support/small_tmpfs.h"
#include "support/temp_dir.h"

namespace vidralo {
namespace {

using sim::DownloadFaults;
using sim::ServiceKind;
using sim::SimulatedServices;
using test::TempDir;

struct Report {
  int task;
  int state;
  std::int64_t total;
  std::int64_t downloaded;
  bool operator==(const Report&) const = default;
};

// Collects the reports of every task, from any thread.
class ReportLog {
 public:
  DownloadReport callback() {
    return [this](int task, int state, std::int64_t total, std::int64_t downloaded) {
      {
        std::lock_guard lock(mutex_);
        reports_.push_back({task, state, total, downloaded});
      }
      changed_.notify_all();
    };
  }
  std::vector<Report> all() const {
    std::lock_guard lock(mutex_);
    return reports_;
  }
  std::vector<Report> finals() const {
    std::vector<Report> out;
    for (const Report& r : all())
      if (r.state != kDownloadProgress) out.push_back(r);
    return out;
  }
  void waitForProgress() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return !reports_.empty(); });
  }

 private:
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<Report> reports_;
};

std::string patternBytes(std::size_t size) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 7919 + i / 65536) & 0xFF);
  return bytes;
}

std::vector<std::string> filesIn(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

class BlockDownloaderTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(services.start()); }
  void TearDown() override { services.stop(); }

  // Serves `bytes` as files/NAME, downloads it into the temporary folder with
  // `limit` workers and waits for the end. Returns the task number.
  int download(const std::string& name, std::string bytes, int limit = 2) {
    services.addFile(name, std::move(bytes));
    std::string path = folder.file(name);
    const int task = downloader.start(services.fileUrl(name), path, limit, log.callback());
    if (task > 0) downloader.wait(task);
    return task;
  }

  std::vector<std::string> rangesAsked(const std::string& name) const {
    std::vector<std::string> ranges;
    for (const auto& request : services.requests(ServiceKind::Mirror1))
      if (request.path == "/files/" + name && !request.header("Range").empty()) ranges.push_back(request.header("Range"));
    std::sort(ranges.begin(), ranges.end());
    return ranges;
  }

  SimulatedServices services;
  TempDir folder;
  ReportLog log;
  BlockDownloader downloader;
};

class DownloadSizeTest : public BlockDownloaderTest, public ::testing::WithParamInterface<std::size_t> {};

TEST_P(DownloadSizeTest, TheFileIsByteIdenticalAndTheFinalReportRepeatsTheLastProgress) {
  const std::size_t size = GetParam();
  const std::string bytes = patternBytes(size);
  const int task = download("file.bin", bytes);
  ASSERT_EQ(task, 1);

  EXPECT_TRUE(test::readFile(folder.file("file.bin")) == bytes);
  EXPECT_EQ(filesIn(folder.path()), std::vector<std::string>{"file.bin"});  // no temporary left
  const std::vector<Report> reports = log.all();
  ASSERT_GE(reports.size(), 2u);
  const auto total = static_cast<std::int64_t>(size);
  EXPECT_EQ(reports.back(), (Report{1, kDownloadFinished, total, total}));
  EXPECT_EQ(reports[reports.size() - 2], (Report{1, kDownloadProgress, total, total}));
  for (const auto& request : services.requests(ServiceKind::Mirror1))
    EXPECT_EQ(request.header("Accept-Encoding"), "identity");
}

INSTANTIATE_TEST_SUITE_P(AroundTheBlockSize, DownloadSizeTest,
                         ::testing::Values(1, 1048575, 1048576, 1048577, 10 * 1000 * 1000));

struct BlockCase {
  std::size_t size;
  std::vector<std::string> ranges;
};

class BlockRangeTest : public BlockDownloaderTest, public ::testing::WithParamInterface<BlockCase> {};

TEST_P(BlockRangeTest, EachBlockIsAskedForWithAWholeBlockRange) {
  ASSERT_EQ(download("file.bin", patternBytes(GetParam().size)), 1);
  EXPECT_EQ(rangesAsked("file.bin"), GetParam().ranges);
}

INSTANTIATE_TEST_SUITE_P(
    Blocks, BlockRangeTest,
    ::testing::Values(
        // the third range reaches past the end of the file
        BlockCase{2500000, {"bytes=0-1048575", "bytes=1048576-2097151", "bytes=2097152-3145727"}},
        // one block, so one worker although two are allowed
        BlockCase{1048576, {"bytes=0-1048575"}}));

TEST_F(BlockDownloaderTest, AFailedStartTakesATaskNumberToo) {
  std::string missing = folder.file("missing.bin");
  EXPECT_EQ(downloader.start(services.fileUrl("missing.bin"), missing, 2, log.callback()), -1);
  EXPECT_EQ(download("second.bin", patternBytes(1000)), 2);
  EXPECT_EQ(log.finals(), (std::vector<Report>{{2, kDownloadFinished, 1000, 1000}}));
  EXPECT_FALSE(std::filesystem::exists(missing));
}

TEST_F(BlockDownloaderTest, ASavePathWithoutExtensionNamesAFolder) {
  services.addFile("setup.bin", patternBytes(5000));
  std::string path = folder.path();
  const int task = downloader.start(services.fileUrl("setup.bin") + "?channel=1", path, 2, log.callback());
  downloader.wait(task);
  EXPECT_EQ(path, folder.file("setup.bin"));
  EXPECT_EQ(test::readFile(path), patternBytes(5000));
}

struct FaultCase {
  const char* name;
  DownloadFaults faults;
};

class DownloadFaultTest : public BlockDownloaderTest, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(DownloadFaultTest, ABadBlockFailsTheTaskAndKeepsTheOldFile) {
  services.setDownloadFaults(GetParam().faults);
  folder.write("file.bin", "old version");
  ASSERT_EQ(download("file.bin", patternBytes(2500000)), 1);
  EXPECT_EQ(log.finals(), (std::vector<Report>{{1, kDownloadFailed, 0, 0}}));
  EXPECT_EQ(test::readFile(folder.file("file.bin")), "old version");
  EXPECT_EQ(filesIn(folder.path()), std::vector<std::string>{"file.bin"});
}

INSTANTIATE_TEST_SUITE_P(Faults, DownloadFaultTest,
                         ::testing::Values(FaultCase{"RangeIgnored", {.ignoreRange = true}},
                                           FaultCase{"MoreBytesThanTheBlock", {.overlongRange = true}},
                                           FaultCase{"CutMidBlock", {.cutMidRange = true}}),
                         [](const auto& c) { return std::string(c.param.name); });

TEST_F(BlockDownloaderTest, AServerThatCompressesWhenAllowedSendsPlainBytes) {
  services.setDownloadFaults({.gzipWhenAccepted = true});
  const std::string bytes = patternBytes(1048577);
  ASSERT_EQ(download("file.bin", bytes), 1);
  EXPECT_TRUE(test::readFile(folder.file("file.bin")) == bytes);
}

TEST_F(BlockDownloaderTest, PauseHoldsTheWorkersAndResumeFinishesTheFile) {
  services.setDownloadFaults({.throttleBytesPerSecond = 4 * 1024 * 1024});
  const std::string bytes = patternBytes(3 * 1048576);
  services.addFile("file.bin", bytes);
  std::string path = folder.file("file.bin");
  const int task = downloader.start(services.fileUrl("file.bin"), path, 2, log.callback());
  ASSERT_EQ(task, 1);
  log.waitForProgress();
  ASSERT_TRUE(downloader.pause(task));
  EXPECT_FALSE(downloader.pause(task));
  const std::size_t reportsAtPause = log.all().size();
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  // Each of the two workers may finish the chunk it was writing, no more.
  EXPECT_LE(log.all().size(), reportsAtPause + 2);
  EXPECT_TRUE(downloader.active(task));

  ASSERT_TRUE(downloader.resume(task));
  downloader.wait(task);
  EXPECT_TRUE(test::readFile(path) == bytes);
  EXPECT_EQ(log.finals(), (std::vector<Report>{{1, kDownloadFinished, 3 * 1048576, 3 * 1048576}}));
}

TEST_F(BlockDownloaderTest, StopEndsTheTaskWithoutReportOrFile) {
  services.setDownloadFaults({.throttleBytesPerSecond = 1024 * 1024});
  services.addFile("file.bin", patternBytes(4 * 1048576));
  std::string path = folder.file("file.bin");
  const int task = downloader.start(services.fileUrl("file.bin"), path, 2, log.callback());
  log.waitForProgress();
  ASSERT_TRUE(downloader.pause(task));
  ASSERT_TRUE(downloader.stop(task));  // a paused task can be stopped
  downloader.wait(task);

  EXPECT_TRUE(log.finals().empty());
  EXPECT_TRUE(filesIn(folder.path()).empty());
  EXPECT_FALSE(downloader.active(task));
  // The task's resources are gone; every operation refuses it.
  EXPECT_FALSE(downloader.pause(task));
  EXPECT_FALSE(downloader.resume(task));
  EXPECT_FALSE(downloader.stop(task));
  EXPECT_FALSE(downloader.stop(7));
}

TEST_F(BlockDownloaderTest, StopAllEndsEveryRunningTask) {
  services.setDownloadFaults({.throttleBytesPerSecond = 1024 * 1024});
  services.addFile("file.bin", patternBytes(4 * 1048576));
  std::string first = folder.file("a.bin");
  std::string second = folder.file("b.bin");
  const int a = downloader.start(services.fileUrl("file.bin"), first, 2, log.callback());
  const int b = downloader.start(services.fileUrl("file.bin"), second, 1, log.callback());
  downloader.stopAll();
  downloader.wait(a);
  downloader.wait(b);
  EXPECT_TRUE(log.finals().empty());
  EXPECT_TRUE(filesIn(folder.path()).empty());
}

std::size_t countEntries(const char* folder) {
  return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(folder), {}));
}

bool mapsMention(const std::string& text) {
  std::ifstream maps("/proc/self/maps");
  std::string line;
  while (std::getline(maps, line))
    if (line.find(text) != std::string::npos) return true;
  return false;
}

// Waits until `value()` is at most `limit`; the server side of a closed
// connection may end a moment after the client side.
template <class Value>
bool settlesAtMost(Value value, std::size_t limit) {
  return test::pollUntil([&] { return value() <= limit; }, std::chrono::seconds(5));
}

TEST_F(BlockDownloaderTest, FiftyDownloadsLeaveNoThreadDescriptorOrMapping) {
  const std::string bytes = patternBytes(1500000);
  ASSERT_GT(download("warm-up.bin", bytes), 0);
  const std::size_t threads = countEntries("/proc/self/task");
  const std::size_t descriptors = countEntries("/proc/self/fd");
  for (int i = 0; i < 50; ++i) {
    std::string path = folder.file("file.bin");
    const int task = downloader.start(services.fileUrl("warm-up.bin"), path, 2, log.callback());
    ASSERT_GT(task, 0);
    downloader.wait(task);
  }
  EXPECT_EQ(log.finals().size(), 51u);
  EXPECT_TRUE(test::readFile(folder.file("file.bin")) == bytes);
  EXPECT_TRUE(settlesAtMost([] { return countEntries("/proc/self/task"); }, threads));
  EXPECT_TRUE(settlesAtMost([] { return countEntries("/proc/self/fd"); }, descriptors));
  EXPECT_FALSE(mapsMention(folder.path()));
}

TEST_F(BlockDownloaderTest, SchemesOtherThanHttpNeverReachTheirPort) {
  test::HostileServer listener({});
  for (const std::string scheme : {"gopher", "dict", "ftp"}) {
    std::string path = folder.file("file.bin");
    EXPECT_EQ(downloader.start(listener.url("/_PING%0d%0a", scheme), path, 2, log.callback()), -1) << scheme;
  }
  EXPECT_EQ(listener.connections(), 0);
  EXPECT_EQ(listener.received(), "");
  EXPECT_TRUE(filesIn(folder.path()).empty());
}

TEST_F(BlockDownloaderTest, ASelfSignedMirrorServesOnlyWhenVerificationIsTurnedOff) {
  test::TempDir certificates;
  ASSERT_TRUE(test::makeSelfSignedCertificate(certificates));
  sim::LoopbackServer mirror([&] {
    return std::make_unique<httplib::SSLServer>(certificates.file("cert.pem").c_str(),
                                                certificates.file("key.pem").c_str());
  });
  // Whole blocks: this server misstates a range that reaches past the end.
  const std::string bytes = patternBytes(2 * 1048576);
  mirror.server().Get("/file.bin", [&](const httplib::Request&, httplib::Response& response) {
    response.set_content(bytes, "application/octet-stream");
  });
  ASSERT_TRUE(mirror.start(0));
  const test::ProgramDirectoryIn programDirectory(folder.path());
  std::string path = folder.file("file.bin");
  EXPECT_EQ(downloader.start(mirror.origin("https") + "/file.bin", path, 2, log.callback()), -1);

  folder.write("config.ini", "[http]\nverify_tls = false\n");
  const int task = downloader.start(mirror.origin("https") + "/file.bin", path, 2, log.callback());
  ASSERT_GT(task, 0);
  downloader.wait(task);
  EXPECT_TRUE(test::readFile(path) == bytes);
}

TEST(BlockDownloaderLimits, AConnectionBelowTheSpeedFloorFailsTheTask) {
  // A correct answer for the one block, one byte every 200 ms.
  test::HostileServer dripping({"HTTP/1.1 206 Partial Content\r\nContent-Range: bytes 0-4999/5000\r\n"
                                "Content-Length: 5000\r\n\r\n",
                                "x", std::chrono::milliseconds(200)});
  TempDir folder;
  ReportLog log;
  BlockDownloader downloader({.floorBytesPerSecond = 1024, .floorSeconds = 2});
  std::string path = folder.file("file.bin");
  const int task = downloader.start(dripping.url("/file.bin"), path, 1, log.callback());
  ASSERT_GT(task, 0);
  EXPECT_TRUE(test::pollUntil([&] { return !downloader.active(task); }, std::chrono::seconds(15)));
  downloader.stopAll();
  EXPECT_EQ(log.finals(), (std::vector<Report>{{task, kDownloadFailed, 0, 0}}));
  EXPECT_TRUE(dripping.clientHungUp());
}

TEST_F(BlockDownloaderTest, ALengthThatWouldLeaveTooLittleFreeSpaceIsRefused) {
  const test::SmallTmpfs disk(folder.file("disk"), 8u << 20);
  SKIP_UNLESS_MOUNTED(disk);
  BlockDownloader careful({.freeSpaceMargin = 4 << 20});
  services.addFile("large.bin", patternBytes(5 << 20));
  services.addFile("small.bin", patternBytes(2 << 20));
  std::string large = folder.file("disk/large.bin");
  EXPECT_EQ(careful.start(services.fileUrl("large.bin"), large, 2, log.callback()), -1);
  EXPECT_TRUE(filesIn(folder.file("disk")).empty());
  std::string small = folder.file("disk/small.bin");
  const int task = careful.start(services.fileUrl("small.bin"), small, 2, log.callback());
  ASSERT_GT(task, 0);
  careful.wait(task);
  EXPECT_EQ(filesIn(folder.file("disk")), std::vector<std::string>{"small.bin"});
}

TEST_F(BlockDownloaderTest, LeftoversOfKilledDownloadsAreRemovedAndRunningOnesKept) {
  folder.write("v13.download.part-Ab12Cd", "killed");
  folder.write("notes.part-1", "not a download's");
  folder.write("v13.download", "the target");
  services.setDownloadFaults({.throttleBytesPerSecond = 1024 * 1024});
  services.addFile("file.bin", patternBytes(4 * 1048576));
  std::string path = folder.file("running.bin");
  const int task = downloader.start(services.fileUrl("file.bin"), path, 1, log.callback());
  ASSERT_GT(task, 0);

  EXPECT_EQ(BlockDownloader::removeLeftovers(folder.path()), 1);
  const std::vector<std::string> left = filesIn(folder.path());
  EXPECT_EQ(left.size(), 3u);
  EXPECT_TRUE(std::find(left.begin(), left.end(), "v13.download.part-Ab12Cd") == left.end());
  downloader.stop(task);
  downloader.wait(task);
}

}  // namespace
}  // namespace vidralo
