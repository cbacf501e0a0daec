#pragma once
// Desktop shortcuts as freedesktop desktop entries ("NAME.desktop") in the
// user's desktop folder.
#include <string>
#include <vector>

namespace vidralo {

struct ShortcutOptions {
  std::vector<std::string> arguments;
  // An icon file or a theme icon name; empty: the program's icon beside its
  // executable ("vidralo.svg"), or the generic executable icon without one.
  std::string icon;
  std::string description;
};

// The user's desktop folder (XDG_DESKTOP_DIR, else ~/Desktop).
std::string desktopFolder();

// The entry's file name for `linkName`: its last path component, with
// ".desktop" added unless it already contains ".desktop" (any case).
std::string desktopEntryFileName(const std::string& linkName);

// The text of an entry named `name` that starts `target` in its own folder.
std::string desktopEntryText(const std::string& name, const std::string& target, const ShortcutOptions& options);

// Writes the entry for `linkName` into the desktop folder, replacing one of
// that name, and makes it executable so desktops offer to launch it. A
// target without a folder part (an empty one too) only deletes an existing
// entry of that name. True when the entry was written.
bool createShortcut(const std::string& linkName, const std::string& target, const ShortcutOptions& options = {});

}  // namespace vidralo
