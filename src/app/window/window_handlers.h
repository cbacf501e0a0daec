#pragma once
// Connects every event of the main window to what it does.
namespace vidralo {

class Program;

void wireMainWindow(Program& program);

// 标签15: the folder in its caption opens in the desktop's file manager.
void openFolderOfCaption(Program& program);

// 按钮_保存账号: every kept control value is saved, then "保存成功".
void saveAllSettings(Program& program);

}  // namespace vidralo
