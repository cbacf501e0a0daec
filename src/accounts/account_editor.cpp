#include "accounts/account_editor.h"

#include <filesystem>
#include <optional>

#include "accounts/record_files.h"
#include "common/program_dir.h"
#include "common/pumped_wait.h"
#include "common/text_rules.h"

namespace vidralo {
namespace {

bool perAccountSettingsOn(const ControlModel& controls) { return controls.checked(ControlId::选择框_单独设置); }

// The category, tag and description keys: the editor's values while
// per-account settings are on, neutral values otherwise (the two selection
// keys are then left as they are).
void setPerAccountKeys(AccountRecord& record, const ControlModel& controls) {
  if (!perAccountSettingsOn(controls)) {
    record.setInteger(recordKey::category, 0);
    record.setInteger(recordKey::subCategory, 0);
    record.setText(recordKey::tags, "");
    record.setText(recordKey::description, "");
    return;
  }
  record.setInteger(recordKey::category, selectedItemData(controls, ControlId::组合框_一级分类));
  record.setInteger(recordKey::subCategory, selectedItemData(controls, ControlId::组合框_二级分类));
  record.setText(recordKey::tags, controls.text(ControlId::编辑框_固定标签));
  record.setText(recordKey::description, controls.text(ControlId::编辑框_简介模板内容));
  record.setInteger(recordKey::categoryIndex, controls.currentIndex(ControlId::组合框_一级分类));
  record.setInteger(recordKey::subCategoryIndex, controls.currentIndex(ControlId::组合框_二级分类));
}

void reportFailedSave(Dialogs& dialogs, const std::string& accountId) {
  dialogs.message("账号记录无法写入：" + recordPath(accountId));
}

// Why the editor's id and folder cannot be saved; empty when they can.
std::string saveRefusal(const std::string& id, const std::string& folder) {
  if (id.empty()) return "账号标识 不能为空";
  if (folder.empty()) return "视频素材目录 不能为空";
  if (!isSafeAccountId(id)) return std::string(kUnsafeAccountIdMessage);
  return {};
}

struct PerAccountSettings {
  std::string tags;
  std::string description;
  int categoryIndex = -1;
  int subCategoryIndex = -1;
};

}  // namespace

void addAccount(AccountContext& context) {
  ControlModel& controls = context.controls;
  const std::optional<std::string> failedId = context.store.withState([&](AccountState& state) {
    state.row = controls.appendRow();
    const std::string id = newAccountId();
    controls.setText(ControlId::编辑框_账号标识, id);
    const std::string folder = controls.text(ControlId::编辑框_视频素材目录);
    controls.setCell(state.row, 列_序号, numberToText(state.row + 1));
    controls.setCell(state.row, 列_昵称, "");
    controls.setCell(state.row, 列_素材目录, folder);
    controls.setCell(state.row, 列_账号标识, id);
    controls.setCell(state.row, 列_状态, "已添加");

    state.record.setText(recordKey::nickname, kNicknamePending);
    state.record.setText(recordKey::folder, folder);
    state.record.setText(recordKey::accountId, id);
    setPerAccountKeys(state.record, controls);
    return state.record.save(recordPath(id)) ? std::nullopt : std::optional(id);
  });
  if (failedId) reportFailedSave(context.dialogs, *failedId);
}

void showAccount(AccountContext& context) {
  ControlModel& controls = context.controls;
  const int row = controls.selectedRow();
  if (row < 0) return;
  context.store.withState([row](AccountState& state) { state.row = row; });
  controls.setText(ControlId::编辑框_账号标识, controls.cell(row, 列_账号标识));
  const std::string folder = controls.cell(row, 列_素材目录);
  if (!folder.empty()) controls.setText(ControlId::编辑框_视频素材目录, folder);
  if (!perAccountSettingsOn(controls)) return;

  // Read under the lock and applied afterwards: the waits below keep the
  // window running, and another thread may load a record meanwhile.
  const std::string id = controls.text(ControlId::编辑框_账号标识);
  const PerAccountSettings shown = context.store.withState([&](AccountState& state) {
    // An id that would leave the record folder reads like a missing file.
    if (isSafeAccountId(id)) state.record.load(recordPath(id));
    return PerAccountSettings{state.record.text(recordKey::tags), state.record.text(recordKey::description),
                              state.record.integer(recordKey::categoryIndex),
                              state.record.integer(recordKey::subCategoryIndex)};
  });
  controls.setText(ControlId::编辑框_固定标签, shown.tags);
  controls.setText(ControlId::编辑框_简介模板内容, shown.description);
  controls.setCurrentIndex(ControlId::组合框_一级分类, shown.categoryIndex);
  if (!PumpedWait(500)) return;
  fillSubCategories(controls, context.categories);
  if (!PumpedWait(500)) return;
  controls.setCurrentIndex(ControlId::组合框_二级分类, shown.subCategoryIndex);
}

bool saveAccount(AccountContext& context) {
  ControlModel& controls = context.controls;
  const std::string id = controls.text(ControlId::编辑框_账号标识);
  const std::string folder = controls.text(ControlId::编辑框_视频素材目录);
  if (const std::string refusal = saveRefusal(id, folder); !refusal.empty()) {
    context.dialogs.message(refusal);
    return false;
  }

  const bool saved = context.store.withState([&](AccountState& state) {
    controls.setCell(state.row, 列_序号, numberToText(state.row + 1));
    controls.setCell(state.row, 列_素材目录, folder);
    controls.setCell(state.row, 列_账号标识, id);
    state.record.setText(recordKey::folder, folder);
    state.record.setText(recordKey::accountId, id);
    setPerAccountKeys(state.record, controls);
    return state.record.save(recordPath(id));
  });
  if (!saved) reportFailedSave(context.dialogs, id);
  return saved;
}

void onMoveUsedVideosClicked(ControlModel& controls) {
  if (!controls.text(ControlId::编辑框_使用过视频目录).empty()) return;
  const std::string folder = programPath("\\已使用视频");
  controls.setText(ControlId::编辑框_使用过视频目录, folder);
  std::error_code error;
  std::filesystem::create_directory(folder, error);
}

void onBrowseMaterialFolder(ControlModel& controls, Dialogs& dialogs) {
  const std::optional<std::string> folder = dialogs.chooseFolder(programDirectory());
  if (folder && !folder->empty()) controls.setText(ControlId::编辑框_视频素材目录, *folder);
}

void onMaterialFolderChanged(ControlModel& controls) {
  controls.setCaption(ControlId::标签14, "修改素材目录后，一定点击【修改账号信息】让设置生效");
}

void onPerAccountSettingsClicked(ControlModel& controls, Dialogs& dialogs) {
  if (!controls.checked(ControlId::选择框_单独设置)) return;
  dialogs.message("首次使用本功能，需要点击右侧账号，选择分类、标签、简介后，点击 修改账号信息 保存每个账号的信息。");
}

}  // namespace vidralo
