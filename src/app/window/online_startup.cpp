#include "app/window/online_startup.h"

#include <QProcess>

#include "app/runtime/app_info.h"
#include "app/window/program.h"
#include "app/window/qt_text.h"
#include "app/window/start_window.h"
#include "common/program_dir.h"
#include "common/pumped_wait.h"
#include "log/run_log.h"
#include "online/crash_handler.h"
#include "online/disclaimer.h"
#include "online/notices.h"
#include "online/block_downloader.h"
#include "online/update_flow.h"
#include "shell/desktop_entry.h"

namespace vidralo {
namespace {

constexpr double kStartDelayMs = 1000;

// A desktop entry started without --dir would choose the program directory
// anew (the build folder when run from a build) and miss the accounts.
ShortcutOptions sameProgramDirectory() { return {.arguments = {"--dir", programDirectory()}}; }

}  // namespace

UpdateServices programUpdateServices() {
  UpdateServices services;
  services.startDownload = [](const std::string& url, const std::string& path, int workers,
                              DownloadReport progress) {
    std::string savePath = path;
    return blockDownloader().start(url, savePath, workers, std::move(progress));
  };
  services.endDownload = [](int task) {
    blockDownloader().stop(task);
    blockDownloader().wait(task);
  };
  services.createShortcut = [](const std::string& name, const std::string& target) {
    return createShortcut(name, target, sameProgramDirectory());
  };
  services.startProgramFile = [](const std::string& path) {
    return QProcess::startDetached(toQt(path), {}, toQt(programDirectory()));
  };
  return services;
}

void openStartWindow(Program& program, const StartWindowSetup& setup) {
  auto window = std::make_unique<StartWindow>(setup.dialogs);
  StartWindow& start = *window;
  auto flow = std::make_unique<UpdateFlow>(productInfo(), start, programUpdateServices());
  UpdateFlow& update = *flow;
  start.onOpenClicked([&update] { update.openLatestVersion(); });
  start.onShortcutClicked([] { createShortcut(appInfo().title, executablePath(), sameProgramDirectory()); });
  start.onClose([&program] { program.close(false); });
  program.adoptStartWindow(std::move(window), std::move(flow));
  start.show();

  PumpedWait(kStartDelayMs, 0);
  writeRunLog("启动窗口创建完毕");
  installFaultReporter(setup.reporterCommand);
  start.setTitle(appInfo().title);
  showDisclaimerOnce(start.dialogs());
  writeRunLog("启动窗口线程");
  program.startThread([&update] { update.runStartupOnlineSteps(); });
  program.startThread([&start] { loadNotices(start); });
}

void startUpdateCheckThread(Program& program) {
  ControlModel& controls = program.controls();
  program.startThread([&controls, product = productInfo()] { watchLatestVersion(controls, product); });
}

}  // namespace vidralo
