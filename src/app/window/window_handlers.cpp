#include "app/window/window_handlers.h"

#include <QDesktopServices>
#include <QUrl>

#include "accounts/account_editor.h"
#include "accounts/account_list.h"
#include "accounts/category_catalogue.h"
#include "app/window/job_toggle.h"
#include "app/window/engine_steps.h"
#include "app/window/main_window.h"
#include "app/window/program.h"
#include "app/window/qt_text.h"
#include "app/runtime/runtime.h"
#include "app/window/startup.h"
#include "settings/control_state_store.h"
#include "shell/restart.h"

namespace vidralo {
namespace {

using C = ControlId;

constexpr int kMessagePart = 1;

void wireButtons(Program& program, MainWindow& window) {
  AccountContext& accounts = program.accounts();
  ControlModel& controls = program.controls();
  auto openBrowser = [&program](int row, const std::string& id) { openAccountBrowser(program, row, id); };

  window.onClick(C::开始, [&program] { toggleJob(program); });
  window.onClick(C::按钮1, [] { restartAfterDelay(); });
  window.onClick(C::按钮26, [&program] { program.close(true); });
  window.onClick(C::按钮_保存账号, [&program] { saveAllSettings(program); });
  window.onClick(C::按钮_读取所有账号, [&accounts] { reloadAccounts(accounts); });
  window.onClick(C::按钮2, [&program] { closeAllBrowsers(program); });
  window.onClick(C::按钮8, [&program] { onBrowseMaterialFolder(program.controls(), program.dialogs()); });
  window.onClick(C::按钮14, [&accounts, openBrowser] { loginEditedAccount(accounts, openBrowser); });
  window.onClick(C::按钮_删除本账号, [&accounts] { deleteAccount(accounts); });
  window.onClick(C::按钮_修改账号信息, [&accounts, &controls] {
    if (saveAccount(accounts)) controls.setStatusText(kMessagePart, "账号已保存：" + controls.text(C::编辑框_账号标识));
  });
  window.onClick(C::选择框_单独设置, [&program] { onPerAccountSettingsClicked(program.controls(), program.dialogs()); });
  window.onClick(C::按钮4, [&program, &accounts] {
    refreshCategories(program.controls(), accounts.categories,
                      [&program] { restoreComboBoxes(program.controls(), program.settingsPath()); });
  });
  window.onClick(C::单选框_移动, [&controls] { onMoveUsedVideosClicked(controls); });
  window.onClick(C::按钮_手动初始化, [&program] { initialiseEngine(program, true); });
  window.onClick(C::按钮11, [&program] { reportBrowserVersion(program); });
  window.onClick(C::标签15, [&program] { openFolderOfCaption(program); });
  // The redial blocks on the network for up to minutes: a thread of its own.
  window.onClick(C::按钮23, [&program] { program.startThread([&program] { program.runtime().testRedial(); }); });

  window.onItemSelected(C::组合框_一级分类, [&accounts] { fillSubCategories(accounts.controls, accounts.categories); });
  window.onTextChanged(C::编辑框_视频素材目录, [&controls] { onMaterialFolderChanged(controls); });
}

void wireAccountList(Program& program, MainWindow& window) {
  AccountContext& accounts = program.accounts();
  auto openBrowser = [&program](int row, const std::string& id) { openAccountBrowser(program, row, id); };

  window.onRowClicked([&accounts](int) { showAccount(accounts); });
  window.onMenuItem("添加账号", [&accounts] { addAccount(accounts); });
  window.onMenuItem("删除此账号", [&accounts] { deleteSelectedAccount(accounts); });
  window.onMenuItem("清空账号列表", [&accounts] { clearAccounts(accounts); });
  window.onMenuItem("配置登陆此账号", [&accounts, openBrowser] { loginSelectedAccount(accounts, openBrowser); });
  window.onMenuItem("此项移动到最底部", [&accounts] { moveAccountToBottom(accounts); });
  window.onMenuItem("使用cookies登陆此账号", [&accounts, openBrowser] { loginSelectedAccountHere(accounts, openBrowser); });
}

}  // namespace

void wireMainWindow(Program& program) {
  MainWindow& window = program.window();
  wireButtons(program, window);
  wireAccountList(program, window);
  window.onTimer(C::时钟1, [&program] { onOneShotTimer(program); });
  // The bar shows one line of a message, the summary of a job among them;
  // a click shows all of it.
  window.onStatusPartClicked(kMessagePart, [&program] {
    if (const std::string text = program.controls().statusText(kMessagePart); !text.empty())
      program.dialogs().message(text);
  });
  window.onClose([&program] { program.close(false); });
}

void openFolderOfCaption(Program& program) {
  const QString folder = toQt(program.controls().caption(C::标签15));
  QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
}

void saveAllSettings(Program& program) {
  const bool saved = saveControlStates(program.controls(), program.settingsPath(), "");
  program.dialogs().message(saved ? "保存成功" : settingsNotSavedText(program.settingsPath()));
}

}  // namespace vidralo
