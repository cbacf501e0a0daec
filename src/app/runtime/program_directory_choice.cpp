#include "app/runtime/program_directory_choice.h"

#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "app/runtime/exit_codes.h"
#include "common/program_dir.h"

namespace vidralo {
namespace {

int refuse(const std::string& text) {
  std::fprintf(stderr, "%s\n", text.c_str());
  return kExitBadDirectory;
}

// A new data folder holds browser log-ins: readable by its owner only.
bool createPrivateFolder(const std::string& folder) {
  std::error_code error;
  if (std::filesystem::is_directory(folder, error)) return true;
  std::filesystem::create_directories(folder, error);
  if (error) return false;
  std::filesystem::permissions(folder, std::filesystem::perms::owner_all, error);
  return true;
}

}  // namespace

int chooseProgramDirectory(const std::optional<std::string>& directory, std::FILE* report) {
  if (directory) {
    switch (checkProgramDirectory(*directory)) {
      case DirectoryCheck::Missing: return refuse("程序目录不存在：" + *directory);
      case DirectoryCheck::NotADirectory: return refuse("程序目录不是目录：" + *directory);
      case DirectoryCheck::Usable: break;
    }
    setProgramDirectory(*directory);
  } else {
    const std::string executableFolder = executableDirectory();
    const std::string folder = defaultProgramDirectory(executableFolder, access(executableFolder.c_str(), W_OK) == 0,
                                                       userDataDirectory("vidralo"));
    if (!createPrivateFolder(folder)) return refuse("无法创建程序目录：" + folder);
    setProgramDirectory(folder);
  }
  std::fprintf(report, "程序目录：%s\n", programDirectory().c_str());
  std::fflush(report);
  return kExitOk;
}

}  // namespace vidralo
