#include "online/save_path.h"

#include <gtest/gtest.h>

namespace vidralo {
namespace {

struct SavePathCase {
  const char* savePath;
  const char* remoteName;
  const char* expected;
};

class CompleteSavePathTest : public ::testing::TestWithParam<SavePathCase> {};

TEST_P(CompleteSavePathTest, CompletesADirectoryWithTheRemoteName) {
  const SavePathCase& c = GetParam();
  bool asked = false;
  const std::string result = completeSavePath(c.savePath, [&] {
    asked = true;
    return std::string(c.remoteName);
  });
  EXPECT_EQ(result, c.expected);
  EXPECT_EQ(asked, result != c.savePath);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, CompleteSavePathTest,
    ::testing::Values(SavePathCase{"/data/new.exe", "other.bin", "/data/new.exe"},
                      SavePathCase{"/data/dl", "setup.bin", "/data/dl/setup.bin"},
                      SavePathCase{"/data/dl/", "setup.bin", "/data/dl/setup.bin"},
                      // a dot in a folder name does not make a file name
                      SavePathCase{"/data/v1.2/dl", "setup.bin", "/data/v1.2/dl/setup.bin"},
                      // no dot anywhere: the last component once more
                      SavePathCase{"/data/dl", "download", "/data/dl/download/download"}));

TEST(FileNameInAddressTest, TakesTheLastComponentBeforeTheQuery) {
  EXPECT_EQ(fileNameInAddress("http://h/a/b/setup.exe?x=1/2"), "setup.exe");
  EXPECT_EQ(fileNameInAddress("http://h/a\\b\\file.zip"), "file.zip");
  EXPECT_EQ(fileNameInAddress("http://h/"), "");
}

}  // namespace
}  // namespace vidralo
