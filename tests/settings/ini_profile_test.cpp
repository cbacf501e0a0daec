#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "common/gbk.h"
#include "settings/ini_profile.h"
#include "support/temp_dir.h"

namespace vidralo {
namespace {

using test::readFile;

class IniFile : public ::testing::Test {
 protected:
  // Writes UTF-8 `text` as the GBK file the profile functions see.
  std::string writeGbk(std::string_view text) { return dir_.write("setsoft.ini", utf8ToGbk(text)); }
  std::string path() const { return dir_.file("setsoft.ini"); }
  std::string contents() const { return gbkToUtf8(readFile(path())); }

  test::TempDir dir_;
};

TEST_F(IniFile, ReadsLikeTheProfileFunctions) {
  writeGbk(
      "top=outside any section\r\n"
      "; comment\r\n"
      "  [ 编辑框 ]  \r\n"
      "  放弃秒 =  300  \r\n"
      "Mixed=Case\r\n"
      "no equals sign here\r\n"
      "空值=\r\n"
      "dup=first\r\n"
      "DUP=second\r\n"
      "[组合框]\n"
      "lf=only\n"
      "[编辑框]\r\n"
      "later=hidden by the first section\r\n");
  IniProfile profile(path());
  EXPECT_EQ(profile.value("编辑框", "放弃秒"), "300");
  EXPECT_EQ(profile.value("编辑框", "mixed"), "Case");
  EXPECT_EQ(profile.value("编辑框", "MIXED"), "Case");
  EXPECT_EQ(profile.value("编辑框", "dup"), "first");
  EXPECT_EQ(profile.value("编辑框", "空值"), "");
  EXPECT_EQ(profile.value("编辑框", "no equals sign here"), "");
  EXPECT_EQ(profile.value("编辑框", "later"), "");
  EXPECT_EQ(profile.value("编辑框", "top"), "");
  EXPECT_EQ(profile.value("组合框", "lf"), "only");
  EXPECT_EQ(profile.value("组合框", "放弃秒"), "");
  EXPECT_EQ(profile.value("单选框", "放弃秒"), "");
}

TEST_F(IniFile, CaseFoldingNeverTouchesTheTrailByteOfAChineseCharacter) {
  // B0 41 and B0 61 are two different GBK characters whose trail bytes are
  // the ASCII letters A and a.
  const std::string upper = gbkToUtf8("\xB0\x41");
  const std::string lower = gbkToUtf8("\xB0\x61");
  ASSERT_NE(upper, lower);
  dir_.write("setsoft.ini", "[\xB0\x41]\r\nKey\xB0\x41=1\r\n");
  IniProfile profile(path());
  EXPECT_EQ(profile.value(upper, "key" + upper), "1");
  EXPECT_EQ(profile.value(lower, "key" + upper), "");
  EXPECT_EQ(profile.value(upper, "key" + lower), "");
}

TEST_F(IniFile, AWriteChangesOneLineAndKeepsEveryOtherByte) {
  const std::string before =
      "; 设置\r\n"
      "[编辑框]\r\n"
      "a = 1\r\n"
      "odd line\n"
      "b=2\r\n"
      "\r\n"
      "[单选框]\r\n"
      "x=真";  // no line end at the very end
  dir_.write("setsoft.ini", utf8ToGbk(before));

  ASSERT_TRUE(writeProfileString(path(), "编辑框", "A", "改"));
  EXPECT_EQ(contents(), "; 设置\r\n[编辑框]\r\na =改\r\nodd line\nb=2\r\n\r\n[单选框]\r\nx=真");

  ASSERT_TRUE(writeProfileString(path(), "编辑框", "c", "3"));
  EXPECT_EQ(contents(), "; 设置\r\n[编辑框]\r\na =改\r\nodd line\nb=2\r\nc=3\r\n\r\n[单选框]\r\nx=真");

  ASSERT_TRUE(writeProfileString(path(), "单选框", "y", "假"));
  EXPECT_EQ(contents(), "; 设置\r\n[编辑框]\r\na =改\r\nodd line\nb=2\r\nc=3\r\n\r\n[单选框]\r\nx=真\r\ny=假\r\n");

  ASSERT_TRUE(writeProfileString(path(), "组合框", "k", "v"));
  EXPECT_EQ(contents(),
            "; 设置\r\n[编辑框]\r\na =改\r\nodd line\nb=2\r\nc=3\r\n\r\n[单选框]\r\nx=真\r\ny=假\r\n[组合框]\r\nk=v\r\n");
}

TEST_F(IniFile, DuplicatesAreWrittenWhereTheyAreRead) {
  writeGbk("[s]\r\nk=1\r\nk=2\r\n[S]\r\nk=3\r\nnew=0\r\n");
  ASSERT_TRUE(writeProfileString(path(), "s", "K", "9"));
  ASSERT_TRUE(writeProfileString(path(), "S", "new", "1"));
  EXPECT_EQ(contents(), "[s]\r\nk=9\r\nk=2\r\nnew=1\r\n[S]\r\nk=3\r\nnew=0\r\n");
  EXPECT_EQ(readProfileString(path(), "s", "new"), "1");
}

TEST_F(IniFile, ManyChangesInOneSaveGiveTheFileOfKeyByKeyWrites) {
  const std::string start = "[b]\r\nold=1\r\n\r\n[a]\r\nz=0";
  const auto change = [](auto&& write) {
    write("a", "z", "1");
    write("b", "new", "x");
    write("c", "k", "真");
    write("a", "y", "2");
    write("b", "old", "");
  };
  writeGbk(start);
  change([&](auto s, auto k, auto v) { ASSERT_TRUE(writeProfileString(path(), s, k, v)); });
  const std::string keyByKey = readFile(path());

  writeGbk(start);
  IniProfile profile(path());
  change([&](auto s, auto k, auto v) { ASSERT_TRUE(profile.setValue(s, k, v)); });
  EXPECT_EQ(readFile(path()), utf8ToGbk(start)) << "nothing is written before save()";
  ASSERT_TRUE(profile.save());
  EXPECT_EQ(readFile(path()), keyByKey);
}

TEST_F(IniFile, LongValuesComeBackWhole) {
  // The Windows functions cut at 10239 bytes; a cut value saved back would
  // be lost for good.
  const std::string ascii(20000, 'v');
  ASSERT_TRUE(writeProfileString(path(), "s", "k", ascii));
  EXPECT_EQ(readProfileString(path(), "s", "k"), ascii);

  const std::string crossing = std::string(10238, 'v') + "中文";
  ASSERT_TRUE(writeProfileString(path(), "s", "k", crossing));
  EXPECT_EQ(readProfileString(path(), "s", "k"), crossing);
}

TEST_F(IniFile, CharactersGbkLacksSurviveAndGbkOnesStayGbkBytes) {
  const std::string value = "/srv/視頻/🎬 한국어 中文";
  ASSERT_TRUE(writeProfileString(path(), "编辑框", "k", value));
  EXPECT_EQ(readProfileString(path(), "编辑框", "k"), value);
  EXPECT_NE(readFile(path()).find(utf8ToGbk("[编辑框]")), std::string::npos) << "readable by GBK copies";
  EXPECT_NE(readFile(path()).find(utf8ToGbk(" 中文")), std::string::npos);
}

TEST_F(IniFile, ValuesAreTrimmedAsTheProfileFunctionsTrimThem) {
  ASSERT_TRUE(writeProfileString(path(), "s", "k", "  padded\t "));
  EXPECT_EQ(readFile(path()), "[s]\r\nk=  padded\t \r\n");
  EXPECT_EQ(readProfileString(path(), "s", "k"), "padded");
}

TEST_F(IniFile, RefusesWhatWouldBreakTheLineStructure) {
  IniProfile profile(path());
  EXPECT_FALSE(profile.setValue("s", "k", "a\r\n[s]\r\nk=injected"));
  EXPECT_FALSE(profile.setValue("s", "k", "lone\nbreak"));
  EXPECT_FALSE(profile.setValue("s\n", "k", "v"));
  EXPECT_FALSE(profile.setValue("s", "a=b", "v"));
  EXPECT_FALSE(profile.setValue("s", "", "v"));
  EXPECT_FALSE(profile.setValue("s", " k", "v"));
  EXPECT_FALSE(profile.setValue("s", "[k]", "v"));
  EXPECT_TRUE(profile.save());
  EXPECT_FALSE(std::filesystem::exists(path())) << "refused writes change nothing";
}

TEST_F(IniFile, NewFileIsPrivateAndAnExistingOneKeepsItsMode) {
  ASSERT_TRUE(writeProfileString(path(), "宽带", "宽带_密码", "secret"));
  struct stat info {};
  ::stat(path().c_str(), &info);
  EXPECT_EQ(info.st_mode & 0777, 0600u);

  ::chmod(path().c_str(), 0640);
  ASSERT_TRUE(writeProfileString(path(), "宽带", "宽带_密码", "other"));
  ::stat(path().c_str(), &info);
  EXPECT_EQ(info.st_mode & 0777, 0640u);
}

TEST_F(IniFile, GarbageReadsAsWhatCanBeReadAndSurvivesAWrite) {
  const std::string huge(3 * 1024 * 1024, 'x');
  const std::string bytes = std::string("\x00\xff\xfe\x81[\r\n", 7) + huge + "\r\n" +
                            "[\x81\x20\xff]\r\n" + utf8ToGbk("[编辑框]\r\n") + "bad=\x81\xff\x80\r\n" +
                            utf8ToGbk("good=值\r\n") + huge + "=" + huge + "\r\n";
  dir_.write("setsoft.ini", bytes);
  IniProfile profile(path());
  EXPECT_EQ(profile.value("编辑框", "good"), "值");
  EXPECT_FALSE(profile.value("编辑框", "bad").empty()) << "invalid bytes come back replaced, not dropped";
  EXPECT_EQ(profile.value("编辑框", huge), huge);

  ASSERT_TRUE(profile.setValue("编辑框", "good", "新"));
  ASSERT_TRUE(profile.save());
  const std::string after = readFile(path());
  EXPECT_EQ(after.size(), bytes.size() - utf8ToGbk("值").size() + utf8ToGbk("新").size());
  EXPECT_EQ(after.substr(0, 7), bytes.substr(0, 7));
}

TEST_F(IniFile, AnUnreadablePathIsNeverReplaced) {
  std::filesystem::create_directories(path());
  IniProfile profile(path());
  EXPECT_EQ(profile.value("s", "k"), "");
  EXPECT_TRUE(profile.setValue("s", "k", "v"));
  EXPECT_FALSE(profile.save());
  EXPECT_TRUE(std::filesystem::is_directory(path()));

  EXPECT_FALSE(writeProfileString(dir_.file("missing/setsoft.ini"), "s", "k", "v"));
  EXPECT_EQ(readProfileString(dir_.file("missing/setsoft.ini"), "s", "k"), "");
}

}  // namespace
}  // namespace vidralo
