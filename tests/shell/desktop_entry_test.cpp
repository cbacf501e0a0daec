#include "shell/desktop_entry.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "support/isolated_home.h"
#include "support/temp_dir.h"

namespace vidralo {
namespace {

// Points HOME (and with it the desktop folder) into a temporary folder.
class DesktopEntryTest : public ::testing::Test {
 protected:
  std::vector<std::string> entries() const {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(desktopFolder(), error))
      names.push_back(entry.path().filename());
    return names;
  }

  test::IsolatedHome isolatedHome;
  const test::TempDir& home = isolatedHome.folder();
};

TEST_F(DesktopEntryTest, WritesAnExecutableEntryThatStartsTheTargetInItsFolder) {
  EXPECT_EQ(desktopFolder(), home.file("Desktop"));
  ASSERT_TRUE(createShortcut("Vidralo", "/opt/my apps/vidralo",
                             {.arguments = {"--dir", "/data/100%"}, .icon = "/opt/my apps/vidralo.svg"}));
  const std::string path = home.file("Desktop/Vidralo.desktop");
  EXPECT_EQ(test::readFile(path),
            "[Desktop Entry]\n"
            "Type=Application\n"
            "Version=1.0\n"
            "Name=Vidralo\n"
            "Exec=\"/opt/my apps/vidralo\" \"--dir\" \"/data/100%%\"\n"
            "Path=/opt/my apps\n"
            "Icon=/opt/my apps/vidralo.svg\n"
            "Terminal=false\n");
  struct stat info {};
  ASSERT_EQ(stat(path.c_str(), &info), 0);
  EXPECT_TRUE(info.st_mode & S_IXUSR);
}

TEST(DesktopEntryTextTest, EscapesWhatTheExecLineCannotHold) {
  const std::string text = desktopEntryText("V", "/a/$x \"q\" \\b", {});
  EXPECT_NE(text.find("Exec=\"/a/\\\\$x \\\\\"q\\\\\" \\\\\\\\b\"\n"), std::string::npos) << text;
  EXPECT_NE(text.find("Icon=application-x-executable\n"), std::string::npos);
}

TEST_F(DesktopEntryTest, TwoCallsLeaveOneEntry) {
  ASSERT_TRUE(createShortcut("Vidralo", "/opt/v/vidralo"));
  ASSERT_TRUE(createShortcut("Vidralo", "/opt/w/vidralo"));
  EXPECT_EQ(entries(), std::vector<std::string>{"Vidralo.desktop"});
  EXPECT_NE(test::readFile(home.file("Desktop/Vidralo.desktop")).find("Path=/opt/w\n"), std::string::npos);
}

TEST_F(DesktopEntryTest, ATargetWithoutFolderOnlyDeletesTheEntry) {
  ASSERT_TRUE(createShortcut("Vidralo", "/opt/v/vidralo"));
  EXPECT_FALSE(createShortcut("Vidralo", ""));
  EXPECT_FALSE(createShortcut("Other", "vidralo"));
  EXPECT_TRUE(entries().empty());
}

TEST(DesktopEntryNameTest, LastComponentAndOneSuffix) {
  EXPECT_EQ(desktopEntryFileName("Vidralo"), "Vidralo.desktop");
  EXPECT_EQ(desktopEntryFileName("Vidralo.desktop"), "Vidralo.desktop");
  EXPECT_EQ(desktopEntryFileName("Vidralo.DESKTOP"), "Vidralo.DESKTOP");
  EXPECT_EQ(desktopEntryFileName("/some/folder/Vidralo"), "Vidralo.desktop");
}

}  // namespace
}  // namespace vidralo
