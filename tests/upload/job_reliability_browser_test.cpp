// A long run on one account in a real headless Chromium: a hundred videos in
// a row are all published, and afterwards no browser process, thread or file
// descriptor of the run is left behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>

#include "browser_job_fixture.h"
#include "common/text_rules.h"

namespace vidralo {
namespace {

using test::BrowserJobTest;
using test::procEntryCount;
using test::settledCount;

constexpr int kVideoCount = 100;
// The job's waits run this much faster than real time; the page, its
// uploads of small files and its reloads still keep up.
constexpr double kClockFactor = 20;

class JobReliabilityTest : public BrowserJobTest {};

std::string videoName(int index) {
  char name[16];
  std::snprintf(name, sizeof name, "v%03d.mp4", index);
  return name;
}

TEST_F(JobReliabilityTest, HundredVideosInARowLeaveNoBrowserThreadOrDescriptorBehind) {
  useClockFactor(kClockFactor);
  platform.setReadyDelayMs(10);
  addAccount("361", "辛号", {{"warmup.mp4", 900}});
  const std::string profile = profileDirectory("361");
  // A video stuck for any reason fails at its limit instead of holding up
  // the run; every one of them is expected to be published.
  controls.setChecked(ControlId::选择框_自动放弃, true);
  controls.setText(ControlId::放弃秒, "120");

  // The warm-up video brings up whatever the engine and the platform keep
  // for the whole process; the counts are taken after it.
  publishOnceThrough(1);
  runJob();
  ASSERT_EQ(platform.publications().size(), 1u);
  ASSERT_TRUE(test::noProcessLeftOn(profile));
  auto threads = [] { return procEntryCount("/proc/self/task"); };
  auto descriptors = [] { return procEntryCount("/proc/self/fd"); };
  const int threadsBefore = threads();
  const int descriptorsBefore = descriptors();

  std::vector<std::string> names;
  for (int i = 0; i < kVideoCount; ++i) {
    names.push_back(videoName(i));
    dir.write("videos361/" + names.back(), std::string(1000 + i, 'v'));
  }
  publishOnceThrough(kVideoCount);
  // Counted while the run is under way: the job's own threads and the
  // browser's connection show in the counts, so a leak would too.
  std::atomic<int> threadsDuring{0}, descriptorsDuring{0};
  test::CellHistory count(controls, 0, 列_今天已发, [&](const std::string&) {
    threadsDuring = std::max(threadsDuring.load(), threads());
    descriptorsDuring = std::max(descriptorsDuring.load(), descriptors());
  });
  const auto started = std::chrono::steady_clock::now();
  runJob();
  const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - started);
  std::printf("%d videos in %lld s real time (clock factor %g)\n", kVideoCount,
              static_cast<long long>(seconds.count()), kClockFactor);
  engine.closeBrowsers();

  const std::vector<sim::Publication> published = platform.publications();
  ASSERT_EQ(published.size(), 1u + kVideoCount);
  std::vector<std::string> publishedNames;
  for (std::size_t i = 1; i < published.size(); ++i) {
    EXPECT_EQ(published[i].nickname, "辛号");
    EXPECT_EQ(published[i].byteSize, 1000 + toInteger(published[i].fileName.substr(1, 3)));
    publishedNames.push_back(published[i].fileName);
  }
  EXPECT_EQ(publishedNames, names) << "each video once, in listing order";
  EXPECT_EQ(controls.cell(0, 列_今天已发), numberToText(kVideoCount));
  EXPECT_EQ(controls.cell(0, 列_状态), "");

  EXPECT_TRUE(test::noProcessLeftOn(profile));
  EXPECT_GT(threadsDuring.load(), threadsBefore);
  EXPECT_GT(descriptorsDuring.load(), descriptorsBefore);
  EXPECT_LE(settledCount(threads, threadsBefore), threadsBefore) << "threads of the run left running";
  EXPECT_LE(settledCount(descriptors, descriptorsBefore), descriptorsBefore) << "descriptors of the run left open";
}

}  // namespace
}  // namespace vidralo
