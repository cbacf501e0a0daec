#include "app/window/startup.h"

#include <QApplication>
#include <QIcon>
#include <cctype>

#include "accounts/account_list.h"
#include "app/runtime/app_info.h"
#include "app/window/global_hot_key.h"
#include "app/window/gui_message_pump.h"
#include "app/window/job_toggle.h"
#include "app/window/engine_steps.h"
#include "app/window/main_window.h"
#include "app/window/online_startup.h"
#include "app/window/program.h"
#include "app/window/qt_text.h"
#include "app/window/qt_translations.h"
#include "app/window/window_state.h"
#include "automation/cdp/browser_launch.h"
#include "app/runtime/startup_controls.h"
#include "common/program_dir.h"
#include "upload/attempt_history.h"

namespace vidralo {
namespace {

constexpr int kTitleSettingsPage = 3;  // "视频标题设置" of 选择夹2

// A path of another system ("C:\...\chrome.exe" from a settings file made on
// Windows) names no file here and would only mislead.
bool isWindowsPath(const std::string& path) {
  return path.size() >= 3 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':' && path[2] == '\\';
}

// 编辑框_google stays empty unless the operator names a browser: the grey
// text shows the one the program found, or where one usually is.
void showBrowserPathHint(Program& program) {
  ControlModel& controls = program.controls();
  if (isWindowsPath(controls.text(ControlId::编辑框_google))) controls.setText(ControlId::编辑框_google, "");
  const std::string found = cdp::findBrowserExecutable("");
  program.window().setPlaceholder(ControlId::编辑框_google,
                                  found.empty() ? "例如 /usr/bin/chromium" : "自动找到：" + found);
}

int saveScreenshot(MainWindow& window, const std::string& path) {
  window.show();
  QApplication::processEvents();
  return window.grab().save(toQt(path), "PNG") ? 0 : 1;
}

}  // namespace

int startProgram(int argc, char** argv, const WindowStart& start) {
  QApplication application(argc, argv);
  QApplication::setWindowIcon(QIcon(":/vidralo.svg"));
  installQtTranslations();
  registerGuiMessagePump();

  setAppInfo(makeAppInfo());
  Program program;
  prepareLibraries(program);
  // A screenshot shows the main window alone and asks nothing.
  if (!start.screenshot) openStartWindow(program);

  onMainWindowCreated(program);
  applyControlSettings(program.controls(), start.settings);
  if (start.watch) program.adoptWatch(start.watch(program.controls(), program.runtime()));
  if (start.started) start.started(program);
  if (start.screenshot) return saveScreenshot(program.window(), *start.screenshot);
  program.window().show();
  // The close sequence ends the process; the loop does not return normally.
  return QApplication::exec();
}

void onMainWindowCreated(Program& program) {
  ControlModel& controls = program.controls();
  program.window().setCaption(mainWindowCaption(appInfo()));
  startUpdateCheckThread(program);
  restoreControlsAtStart(controls, program.settingsPath());
  program.markValuesRestored();
  restoreWindowState(program);
  showBrowserPathHint(program);
  initialiseEngine(program, false);
  controls.setCaption(ControlId::标签15, programPath("\\"));
  program.hotKey().registerKey();
  showSummaryWhenJobEnds(program);
}

void onOneShotTimer(Program& program) {
  AccountContext& accounts = program.accounts();
  program.startThread([&accounts] {
    reloadAccounts(accounts);
    restorePublishedToday(accounts.controls);
  });
  program.controls().setCurrentPage(ControlId::选择夹2, kTitleSettingsPage);
  program.controls().setText(ControlId::时钟1, "0");
}

}  // namespace vidralo
