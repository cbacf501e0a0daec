#include "upload/titles.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <future>

#include "common/gbk.h"
#include "support/temp_dir.h"

namespace vidralo {
namespace {

using test::TempDir;

class Titles : public ::testing::Test {
 protected:
  std::vector<std::string> take(int count) {
    std::vector<std::string> titles;
    for (int i = 0; i < count; ++i) titles.push_back(pool.nextTitle(controls));
    return titles;
  }
  std::string countCaption() const { return controls.caption(ControlId::标签5); }

  TempDir dir;
  ControlModel controls;
  TitlePool pool;
};

TEST_F(Titles, SequentialTitlesRunThroughTheLibraryAndStartOver) {
  controls.setText(ControlId::编辑框_标题库, "T1\r\nT2\r\nT3\r\n");
  EXPECT_EQ(take(7), (std::vector<std::string>{"T1", "T2", "T3", "T1", "T2", "T3", "T1"}));
  EXPECT_EQ(countCaption(), "一行一个，检测到标题数量：3");
}

TEST_F(Titles, TheFirstRunLibraryYieldsItsFourLines) {
  EXPECT_EQ(take(4), (std::vector<std::string>{"D:\\e\\123.txt", "D:\\e\\124443.txt", "这里标题1", "这是标题2"}));
}

TEST_F(Titles, LinesMaySeparateWithLineFeedsAlone) {
  controls.setText(ControlId::编辑框_标题库, "A\n\nB");
  EXPECT_EQ(take(3), (std::vector<std::string>{"A", "", "B"})) << "an empty line is an empty title";
}

TEST_F(Titles, ATitleFileContributesItsCommaSeparatedParts) {
  const std::string file = dir.write("titles.txt", "x,y,z");
  controls.setText(ControlId::编辑框_标题库, file);
  EXPECT_EQ(take(3), (std::vector<std::string>{"x", "y", "z"}));
  EXPECT_EQ(countCaption(), "一行一个，检测到标题数量：3");
}

TEST_F(Titles, TitleFilesMayBeGbkOrUtf8WithAByteOrderMark) {
  const std::string gbk = dir.write("gbk.txt", utf8ToGbk("第一,第二,"));
  const std::string bom = dir.write("bom.txt", "\xEF\xBB\xBF标题甲,标题乙");
  controls.setText(ControlId::编辑框_标题库, gbk + "\r\n行标题\r\n" + bom);
  EXPECT_EQ(take(5), (std::vector<std::string>{"第一", "第二", "行标题", "标题甲", "标题乙"}));
}

TEST_F(Titles, LineBreaksInsideATitleFileAreNotSeparators) {
  const std::string file = dir.write("lines.txt", "one\r\ntwo");
  controls.setText(ControlId::编辑框_标题库, file);
  EXPECT_EQ(pool.nextTitle(controls), "one\r\ntwo");
}

TEST_F(Titles, LibraryEditsCountOnlyOnceThePoolRunsEmpty) {
  controls.setText(ControlId::编辑框_标题库, "A\r\nB\r\nC");
  EXPECT_EQ(pool.nextTitle(controls), "A");
  controls.setText(ControlId::编辑框_标题库, "N");
  EXPECT_EQ(take(4), (std::vector<std::string>{"B", "C", "N", "N"}));
}

TEST_F(Titles, RandomTitlesUseEachOncePerPass) {
  controls.setText(ControlId::编辑框_标题库, "a\r\nb\r\nc\r\nd");
  controls.setChecked(ControlId::选择框_随机, true);
  for (int pass = 0; pass < 3; ++pass) {
    std::vector<std::string> titles = take(4);
    std::sort(titles.begin(), titles.end());
    EXPECT_EQ(titles, (std::vector<std::string>{"a", "b", "c", "d"}));
  }
}

TEST_F(Titles, AnEmptyLibraryGivesEmptyTitles) {
  controls.setText(ControlId::编辑框_标题库, "");
  EXPECT_EQ(pool.nextTitle(controls), "");
  EXPECT_EQ(countCaption(), "一行一个，检测到标题数量：0");
}

TEST(Placeholders, ReplacePairByPairEveryOccurrence) {
  EXPECT_EQ(replacePlaceholders("{title}-{title}", {{"{title}", "v"}}), "v-v");
  EXPECT_EQ(replacePlaceholders("{nick}:{title}", {{"{nick}", "我的{title}"}, {"{title}", "片"}}), "我的片:片");
  EXPECT_EQ(replacePlaceholders("{Title}", {{"{title}", "v"}}), "{Title}");
}

TEST_F(Titles, TheTemplateFillsInNicknameAndFileName) {
  controls.appendRow({"1", "小王"});
  controls.setChecked(ControlId::描述_标题模板, true);
  controls.setText(ControlId::编辑框_简介模板内容, "{nick}的{title}");
  EXPECT_EQ(composeTitle(controls, pool, 0, "/v/风景.片.mp4"), "小王的风景.片");
  EXPECT_EQ(pool.size(), 0u) << "the template leaves the pool alone";
  EXPECT_EQ(countCaption(), "一行一个，顺序使用");

  controls.setChecked(ControlId::描述_标题库, true);
  controls.setText(ControlId::编辑框_标题库, "库标题");
  EXPECT_EQ(composeTitle(controls, pool, 0, "/v/a.mp4"), "库标题");
}

TEST_F(Titles, OnlyRegularTitleFilesOfBoundedSizeAreRead) {
  // A FIFO blocked the job thread in open(), /dev/zero ate memory without
  // bound; both now contribute nothing, at once.
  const std::string fifo = dir.file("fifo.txt");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const std::string large = dir.write("large.txt", std::string(kMaxTitleFileBytes + 1, 'x'));
  const std::string fits = dir.write("fits.txt", "甲,乙");
  auto titles = std::async(std::launch::async, [&] {
    return libraryTitles(fifo + "\r\n/dev/zero\r\n" + large + "\r\n" + fits + "\r\n行");
  });
  if (titles.wait_for(std::chrono::seconds(30)) != std::future_status::ready) {
    // Let a reader that is stuck in open() go, so that the test can end.
    ::close(::open(fifo.c_str(), O_WRONLY));
    FAIL() << "reading the title library blocked";
  }
  EXPECT_EQ(titles.get(), (std::vector<std::string>{"甲", "乙", "行"}));
}

TEST_F(Titles, OverlongTitlesAreCutToTheLimitInCharacters) {
  std::string huge;
  for (std::size_t i = 0; i < kMaxTitleCharacters + 5; ++i) huge += "长";
  controls.setText(ControlId::编辑框_标题库, huge + "\r\n短");
  const std::string title = composeTitle(controls, pool, 0, "/v/a.mp4");
  EXPECT_EQ(title.size(), kMaxTitleCharacters * std::string("长").size());
  EXPECT_EQ(composeTitle(controls, pool, 0, "/v/a.mp4"), "短");
}

}  // namespace
}  // namespace vidralo
