#include "accounts/account_list.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QString>
#include <filesystem>
#include <thread>
#include <vector>

#include "accounts/record_files.h"
#include "common/list_files.h"
#include "common/pumped_wait.h"
#include "common/text_rules.h"

namespace vidralo {
namespace {

// The cells of one reloaded record, 序号 left for the caller.
std::vector<std::string> rowFromFile(AccountRecord& record, const std::string& file) {
  if (record.load(file) != AccountRecord::LoadResult::Loaded) {
    const std::string idFromName = std::filesystem::path(file).stem().string();
    return {"", "", "", idFromName, std::string(kUnreadableRecordStatus)};
  }
  return {"", record.text(recordKey::nickname), record.text(recordKey::folder), record.text(recordKey::accountId),
          ""};
}

// Deletes the record file of `accountId` for good. An empty id deletes
// nothing; an id that would leave the record folder is refused with a
// message. False when refused.
bool deleteRecordOf(const std::string& accountId, Dialogs& dialogs) {
  if (accountId.empty()) return true;
  if (!isSafeAccountId(accountId)) {
    dialogs.message(std::string(kUnsafeAccountIdMessage));
    return false;
  }
  const std::filesystem::path path = recordPath(accountId);
  std::error_code error;
  if (!std::filesystem::is_directory(std::filesystem::symlink_status(path, error)))
    std::filesystem::remove(path, error);
  return true;
}

struct ChosenAccount {
  int row;
  std::string id;
};

// The selected row becomes `currentRow` and its id goes into the editor.
ChosenAccount takeSelectedAccount(AccountContext& context) {
  const int row = context.controls.selectedRow();
  context.store.withState([row](AccountState& state) { state.row = row; });
  ChosenAccount chosen{row, context.controls.cell(row, 列_账号标识)};
  context.controls.setText(ControlId::编辑框_账号标识, chosen.id);
  return chosen;
}

// Whether the desktop trash can take files. Qt puts trashed files below the
// working directory when the user's data folder does not exist yet, so the
// folder is created first.
bool trashAvailable() {
  const QString dataHome = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
  return !dataHome.isEmpty() && QDir().mkpath(dataHome);
}

void openOnNewThread(OpenAccountBrowser openAccountBrowser, int row, std::string accountId) {
  std::thread([open = std::move(openAccountBrowser), row, id = std::move(accountId)] { open(row, id); }).detach();
}

}  // namespace

void reloadAccounts(AccountContext& context) {
  ControlModel& controls = context.controls;
  std::vector<std::string> files;
  listFiles(recordFolder(), "*.json", files, true, false);
  const std::uint64_t generation = context.store.withState([&](AccountState& state) {
    controls.clearRows();
    return ++state.listGeneration;
  });
  for (const std::string& file : files) {
    const bool current = context.store.withState([&](AccountState& state) {
      if (state.listGeneration != generation) return false;
      state.row = controls.appendRow(rowFromFile(state.record, file));
      controls.setCell(state.row, 列_序号, numberToText(state.row + 1));
      return true;
    });
    if (!current) return;
    pumpPendingMessages();
  }
}

void deleteAccount(AccountContext& context) {
  if (!deleteRecordOf(context.controls.text(ControlId::编辑框_账号标识), context.dialogs)) return;
  context.store.withState([&](AccountState& state) { context.controls.removeRow(state.row); });
}

void deleteSelectedAccount(AccountContext& context) {
  const std::string id = context.controls.cell(context.controls.selectedRow(), 列_账号标识);
  if (!deleteRecordOf(id, context.dialogs)) return;
  reloadAccounts(context);
}

void clearAccounts(AccountContext& context) {
  context.store.withState([&](AccountState& state) {
    ++state.listGeneration;
    context.controls.clearRows();
  });
  const std::string folder = recordFolder();
  std::error_code error;
  if (!std::filesystem::path(folder).is_absolute() || !std::filesystem::is_directory(folder, error)) return;
  std::vector<std::string> files;
  listFiles(folder, "*.json", files, true, false);
  if (files.empty()) return;
  int kept = 0;
  if (!trashAvailable())
    kept = static_cast<int>(files.size());
  else
    for (const std::string& file : files)
      if (!QFile::moveToTrash(QString::fromStdString(file))) ++kept;
  if (kept > 0) context.dialogs.message(numberToText(kept) + " 个账号记录无法移到回收站，仍在 " + folder);
}

void moveAccountToBottom(AccountContext& context) {
  ControlModel& controls = context.controls;
  const int row = controls.selectedRow();
  std::vector<std::string> cells = {"", controls.cell(row, 列_昵称), controls.cell(row, 列_素材目录),
                                    controls.cell(row, 列_账号标识)};
  const int bottom = controls.appendRow(std::move(cells));
  controls.setCell(bottom, 列_序号, numberToText(bottom));
  controls.removeRow(row);
}

void loginSelectedAccount(AccountContext& context, OpenAccountBrowser openAccountBrowser) {
  ChosenAccount chosen = takeSelectedAccount(context);
  openOnNewThread(std::move(openAccountBrowser), chosen.row, std::move(chosen.id));
}

void loginEditedAccount(AccountContext& context, OpenAccountBrowser openAccountBrowser) {
  openOnNewThread(std::move(openAccountBrowser), context.store.currentRow(),
                  context.controls.text(ControlId::编辑框_账号标识));
}

void loginSelectedAccountHere(AccountContext& context, const OpenAccountBrowser& openAccountBrowser) {
  const ChosenAccount chosen = takeSelectedAccount(context);
  openAccountBrowser(chosen.row, chosen.id);
}

}  // namespace vidralo
