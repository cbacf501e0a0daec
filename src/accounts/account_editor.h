#pragma once
// The account editor of the main window: creating an account, showing a
// clicked one, saving the editor into its record, and the editor's own small
// handlers. All run on the user-interface thread.
#include "accounts/account_context.h"

namespace vidralo {

// Menu item "添加账号": a new row and a new record under the lowest free id.
void addAccount(AccountContext& context);

// A row of the account list was clicked: the editor shows it; with
// 选择框_单独设置 checked, the record's categories, tags and description too.
void showAccount(AccountContext& context);

// Button 按钮_修改账号信息: row `currentRow` and the record of the id in the
// editor take the editor's values. True when the record file was written.
bool saveAccount(AccountContext& context);

// Radio button 单选框_移动 clicked: an empty used-video folder becomes
// "\已使用视频" under the program directory, which is created.
void onMoveUsedVideosClicked(ControlModel& controls);

// Button 按钮8: the chosen folder replaces 编辑框_视频素材目录.
void onBrowseMaterialFolder(ControlModel& controls, Dialogs& dialogs);

// 编辑框_视频素材目录 changed: 标签14 reminds the operator to save.
void onMaterialFolderChanged(ControlModel& controls);

// Check box 选择框_单独设置 clicked: explains the feature when it is now on.
void onPerAccountSettingsClicked(ControlModel& controls, Dialogs& dialogs);

}  // namespace vidralo
