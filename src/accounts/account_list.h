#pragma once
// The account list 超级列表框1 and the account menu "账号管理": filling the
// list from the record files, deleting and clearing accounts, moving a row,
// and the log-in entries that open an account's browser.
#include <functional>
#include <string>

#include "accounts/account_context.h"

namespace vidralo {

// The status shown for a record file that holds no JSON object.
inline constexpr std::string_view kUnreadableRecordStatus = "记录无法读取";

// Button 按钮_读取所有账号 and the start-up tick (on a thread of its own): one
// row per "*.json" file of the record folder, in listing order. The id shown
// is the record's "缓存id"; an unreadable record shows its file name as id
// and kUnreadableRecordStatus. A reload started meanwhile on another thread
// supersedes this one, which then stops.
void reloadAccounts(AccountContext& context);

// Button 按钮_删除本账号: deletes the record of the id in the editor and the
// row `currentRow`, without renumbering.
void deleteAccount(AccountContext& context);

// Menu item "删除此账号": deletes the record of the selected row's id and
// reloads the list.
void deleteSelectedAccount(AccountContext& context);

// Menu item "清空账号列表": empties the list and moves every record file to
// the desktop's trash, without a question.
void clearAccounts(AccountContext& context);

// Menu item "此项移动到最底部": the selected row's nickname, folder and id move
// to a new last row; status and progress stay behind.
void moveAccountToBottom(AccountContext& context);

// Opens the account's browser on the upload page (row -1: no row).
using OpenAccountBrowser = std::function<void(int row, const std::string& accountId)>;

// Menu item "配置登陆此账号": the selected row becomes `currentRow`, its id
// goes into the editor, and the browser opens on a new thread.
void loginSelectedAccount(AccountContext& context, OpenAccountBrowser openAccountBrowser);

// Button 按钮14: the browser of the editor's id opens on a new thread, for
// row `currentRow`.
void loginEditedAccount(AccountContext& context, OpenAccountBrowser openAccountBrowser);

// Menu item "使用cookies登陆此账号": as loginSelectedAccount, but the browser
// opens on the calling thread, which waits until it returns.
void loginSelectedAccountHere(AccountContext& context, const OpenAccountBrowser& openAccountBrowser);

}  // namespace vidralo
