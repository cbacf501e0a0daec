#include "app/headless/check_logins_command.h"

#include <QCoreApplication>
#include <cstdio>

#include "accounts/record_files.h"
#include "app/headless/headless_setup.h"
#include "app/runtime/exit_codes.h"
#include "automation/cdp/browser_process.h"

namespace vidralo {
namespace {

// What one account's page shows, as the line prints it.
std::string loginStateText(HeadlessSetup& setup, int row, const std::string& accountId) {
  if (!isSafeAccountId(accountId) || hasUnreadableRecord(accountId)) return "记录无法读取";
  Runtime& runtime = setup.runtime();
  const std::string profile = profileDirectory(accountId);
  const bool runningBefore = cdp::findBrowserProcess(profile) > 0;
  BrowserSession session(runtime.engine(), setup.controls, runtime.sessionSettings());
  const PageState page = session.ensureSession(row, accountId);
  // A browser that was taken over has not had its nickname read.
  if (page == PageState::Ready)
    readNickname(runtime.engine(), setup.controls, runtime.sessionSettings(), session.sessionId(), row, accountId);
  // Someone may be logging in there right now.
  if (!runningBefore) session.closeSession();
  if (page == PageState::Ready) return "已登录（" + setup.controls.cell(row, 列_昵称) + "）";
  if (page == PageState::NotReady) return "未登录（页面未就绪）";
  if (page == PageState::Gone) return "未登录（浏览器无法打开上传页）";
  return "未登录";
}

}  // namespace

int runCheckLogins(int argc, char** argv) {
  QCoreApplication application(argc, argv);
  HeadlessSetup setup;
  if (const int code = setup.start({}, engineConfigFromFile()); code != kExitOk) return code;
  if (setup.controls.rowCount() == 0) std::printf("没有账号：%s 中没有账号记录\n", recordFolder().c_str());
  bool everyoneLoggedIn = true;
  for (int row = 0; row < setup.controls.rowCount(); ++row) {
    const std::string id = setup.controls.cell(row, 列_账号标识);
    const std::string state = loginStateText(setup, row, id);
    everyoneLoggedIn = everyoneLoggedIn && state.starts_with("已登录");
    std::printf("账号 %s：%s\n", id.c_str(), state.c_str());
    std::fflush(stdout);
  }
  return everyoneLoggedIn ? kExitOk : kExitNotLoggedIn;
}

}  // namespace vidralo
