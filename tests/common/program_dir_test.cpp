#include "common/program_dir.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include "support/temp_dir.h"

namespace vidralo {
namespace {

TEST(ProgramDirectory, APortableCopyKeepsItsDataBesideItselfAnInstalledOneInTheDataFolder) {
  struct Case {
    const char* executableFolder;
    bool writable;
    const char* expected;
  };
  const Case cases[] = {
      {"/home/ann/vidralo", true, "/home/ann/vidralo"},
      {"/home/ann/vidralo", false, "/data"},
      {"/usr/bin", false, "/data"},
      {"/usr/bin", true, "/data"},  // root may write there
      {"/usr/local/bin", true, "/data"},
      {"/usr", true, "/data"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(defaultProgramDirectory(c.executableFolder, c.writable, "/data"), c.expected) << c.executableFolder;
}

TEST(ProgramDirectory, TheDataFolderFollowsXdgOnlyWhenItIsAnAbsolutePath) {
  const char* home = getenv("HOME");
  const std::string savedHome = home ? home : "";
  setenv("HOME", "/home/ann", 1);
  setenv("XDG_DATA_HOME", "/srv/data/", 1);
  EXPECT_EQ(userDataDirectory("vidralo"), "/srv/data/vidralo");
  setenv("XDG_DATA_HOME", "data", 1);
  EXPECT_EQ(userDataDirectory("vidralo"), "/home/ann/.local/share/vidralo");
  unsetenv("XDG_DATA_HOME");
  EXPECT_EQ(userDataDirectory("vidralo-demo"), "/home/ann/.local/share/vidralo-demo");
  setenv("HOME", savedHome.c_str(), 1);
}

TEST(ProgramDirectory, DirOptionMustNameAnExistingFolder) {
  test::TempDir dir;
  dir.write("file", "x");
  EXPECT_EQ(checkProgramDirectory(dir.path()), DirectoryCheck::Usable);
  EXPECT_EQ(checkProgramDirectory(dir.file("missing")), DirectoryCheck::Missing);
  EXPECT_EQ(checkProgramDirectory(dir.file("file")), DirectoryCheck::NotADirectory);
  EXPECT_EQ(checkProgramDirectory(""), DirectoryCheck::Missing);
}

}  // namespace
}  // namespace vidralo
