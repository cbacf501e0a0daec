#include "app/runtime/startup_controls.h"

#include "app/runtime/config_template.h"
#include "common/program_dir.h"
#include "log/file_replace.h"
#include "network/secret_file.h"
#include "online/block_downloader.h"
#include "settings/control_state_store.h"
#include "settings/directories.h"

namespace vidralo {

void setStartUpDefaults(ControlModel& controls) {
  controls.setText(ControlId::编辑框_随机封面目录, programPath("\\img"));
}

void restoreControlsAtStart(ControlModel& controls, std::string& settingsPath) {
  settingsPath = programPath("\\data\\setsoft.ini");
  // A folder that cannot be created is not an error here; saving an account
  // reports it later.
  ensureDirectory(programPath("\\data\\list"));
  removeLeftoverTemporaryFiles(programPath("\\data"));
  removeLeftoverTemporaryFiles(programPath("\\data\\list"));
  // What a kill during an update's download or a dial left behind.
  BlockDownloader::removeLeftovers(programDirectory());
  SecretFile::removeStranded();
  writeConfigTemplateIfMissing();
  setStartUpDefaults(controls);
  restoreEditBoxes(controls, settingsPath);
  restoreRadioButtons(controls, settingsPath);
}

}  // namespace vidralo
