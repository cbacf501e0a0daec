#include "app/headless/headless_online.h"

#include <filesystem>

#include "app/runtime/app_info.h"
#include "common/program_dir.h"
#include "common/stop.h"
#include "common/text_rules.h"
#include "log/file_replace.h"
#include "log/run_log.h"
#include "online/crash_handler.h"
#include "online/disclaimer.h"
#include "online/update_flow.h"
#include "settings/directories.h"

namespace vidralo {
namespace {

// Printed once per program directory: a service that starts the run again
// and again would otherwise fill its log with it.
std::string disclaimerShownMarker() { return programPath("\\data\\disclaimer-shown"); }

void printDisclaimerOnce(std::FILE* messages) {
  std::error_code error;
  if (disclaimerAccepted() || std::filesystem::exists(disclaimerShownMarker(), error)) return;
  std::fprintf(messages, "%s\n（接受请运行 vidralo --accept-disclaimer；此声明在本程序目录只显示一次）\n",
               replaceAll(disclaimerText(), "\r\n", "\n").c_str());
  std::fflush(messages);
  ensureDirectory(programPath("\\data"));
  replaceFileContents(disclaimerShownMarker(), "shown\n", 0644);
}

void checkVersion(std::FILE* out) {
  const AppInfo& info = appInfo();
  writeRunLog("显示版本号" + info.version);
  const std::string latest = checkLatestVersion(productInfo());
  if (latest.empty())
    std::fprintf(out, "版本检查：未取得最新版本号（当前 v%s）\n", info.version.c_str());
  else if (latest == info.version)
    std::fprintf(out, "版本检查：v%s 已是最新版\n", info.version.c_str());
  else
    std::fprintf(out, "发现新版本：v%s（当前 v%s），无窗口运行不自动更新，请在窗口中更新\n", latest.c_str(),
                 info.version.c_str());
  std::fflush(out);
}

}  // namespace

VersionCheck startHeadlessOnlineSteps(std::FILE* out, std::FILE* messages) {
  writeRunLog("启动窗口创建完毕");
  installFaultReporter();
  printDisclaimerOnce(messages);
  writeRunLog("启动窗口线程");
  return VersionCheck(out);
}

VersionCheck::VersionCheck(std::FILE* out) {
  std::promise<void> done;
  finished_ = done.get_future();
  thread_ = std::jthread([out, done = std::move(done)](std::stop_token token) mutable {
    // The request ends as soon as the thread's stop is requested.
    const StopScope scope(std::move(token));
    checkVersion(out);
    done.set_value();
  });
}

VersionCheck::~VersionCheck() {
  if (finished_.valid()) finished_.wait_for(kGrace);
}

}  // namespace vidralo
