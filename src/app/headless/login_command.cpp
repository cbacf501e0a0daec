#include "app/headless/login_command.h"

#include <QCoreApplication>
#include <cstdio>
#include <filesystem>
#include <stop_token>
#include <thread>

#include "accounts/record_files.h"
#include "app/headless/headless_setup.h"
#include "app/runtime/exit_codes.h"
#include "automation/page_readiness.h"
#include "common/clock.h"
#include "common/program_dir.h"
#include "common/pumped_wait.h"
#include "common/stop.h"
#include "log/file_replace.h"

namespace vidralo {
namespace {

constexpr double kPictureIntervalMs = 2000;
constexpr mode_t kOwnerOnly = 0600;

int fail(int code, const std::string& message) {
  std::fprintf(stderr, "%s\n", message.c_str());
  return code;
}

int rowOf(const ControlModel& controls, const std::string& accountId) {
  for (int row = 0; row < controls.rowCount(); ++row)
    if (controls.cell(row, 列_账号标识) == accountId) return row;
  return -1;
}

// The browser a person must see: visible wherever there is a display,
// whatever config.ini says for the job.
cdp::CdpEngine::Config loginEngineConfig() {
  cdp::CdpEngine::Config config = engineConfigFromFile();
  config.headless = cdp::CdpEngine::Headless::Auto;
  return config;
}

// Waits for the marker, writing the page's picture while headless. Returns
// the exit code.
int awaitLogIn(HeadlessSetup& setup, SessionId session, int row, const std::string& accountId, int waitSeconds) {
  cdp::CdpEngine& engine = setup.runtime().engine();
  const std::string picture = loginPicturePath(accountId);
  const std::int64_t deadline = appClock().tickMs() + std::int64_t{waitSeconds} * 1000;
  bool pictureNamed = false;
  while (true) {
    if (engine.pageIsLoaded(session, kUploadPageMarker)) {
      const std::string nickname =
          readNickname(engine, setup.controls, setup.runtime().sessionSettings(), session, row, accountId);
      std::printf("账号 %s 已登录（%s）\n", accountId.c_str(), nickname.c_str());
      return kExitOk;
    }
    if (!engine.isConnected(session)) return fail(kExitLoginStopped, "登录浏览器已关闭，账号 " + accountId + " 未登录");
    if (engine.headless()) {
      const std::string png = engine.captureScreenshot(session);
      std::error_code error;
      std::filesystem::create_directories(programPath("\\logs"), error);
      if (!png.empty() && replaceFileContents(picture, png, kOwnerOnly) && !pictureNamed) {
        std::printf("登录页面的图片（每 2 秒更新，请用手机扫码）：%s\n", picture.c_str());
        std::fflush(stdout);
        pictureNamed = true;
      }
    }
    if (appClock().tickMs() >= deadline)
      return fail(kExitLoginTimedOut, "等待 " + std::to_string(waitSeconds) + " 秒后账号 " + accountId + " 仍未登录");
    if (!PumpedWait(kPictureIntervalMs)) return fail(kExitLoginStopped, "登录已中止，账号 " + accountId + " 未登录");
  }
}

}  // namespace

std::string loginPicturePath(const std::string& accountId) { return programPath("\\logs\\login-" + accountId + ".png"); }

int runLogin(int argc, char** argv, const std::string& accountId, int waitSeconds) {
  const sigset_t signals = terminationSignals();
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  QCoreApplication application(argc, argv);
  if (!isSafeAccountId(accountId)) return fail(kExitCommandFailed, std::string(kUnsafeAccountIdMessage));
  if (!std::filesystem::exists(recordPath(accountId)))
    return fail(kExitCommandFailed, "没有这个账号的记录：" + recordPath(accountId));

  HeadlessSetup setup;
  if (const int code = setup.start({}, loginEngineConfig()); code != kExitOk) return code;
  // Taken by the signal thread, which may outlive this function.
  static std::stop_source stop;
  std::thread([signals] {
    int received = 0;
    sigwait(&signals, &received);
    stop.request_stop();
  }).detach();

  const int row = rowOf(setup.controls, accountId);
  OpenedBrowser opened;
  int code = kExitOk;
  {
    const StopScope scope(stop.get_token());
    opened = setup.runtime().openAccountBrowser(row, accountId);
    if (opened.ids.sessionId != 0)
      code = awaitLogIn(setup, opened.ids.sessionId, row, accountId, waitSeconds);
    else if (stop.stop_requested())
      code = fail(kExitLoginStopped, "登录已中止，账号 " + accountId + " 未登录");
    else
      code = fail(kExitNoBrowser, "账号 " + accountId + " 的浏览器无法启动（见 logs/engine.log）");
  }
  // A headless browser nobody can see or close is not left behind; its
  // orderly close (outside the stop) also writes the log-in to the profile.
  if (opened.ids.sessionId != 0 && setup.runtime().engine().headless())
    setup.runtime().engine().closeBrowser(opened.ids.sessionId);
  return code;
}

}  // namespace vidralo
