#pragma once
// The program directory: everything Vidralo keeps lives below it, so copying
// the directory copies the installation. Paths are written as the directory
// plus a suffix with backslashes ("\data\list"); programPath turns the suffix
// into the native form.
#include <string>
#include <string_view>

namespace vidralo {

// The directory chosen at start-up (chooseProgramDirectory), without a
// trailing separator; the executable's directory until one was chosen.
std::string programDirectory();

void setProgramDirectory(std::string directory);

// The full path of the running executable; empty when it cannot be read.
std::string executablePath();

// The directory of the running executable.
std::string executableDirectory();

// The user's data folder for `name`: $XDG_DATA_HOME/name when that variable
// holds an absolute path, else ~/.local/share/name.
std::string userDataDirectory(std::string_view name);

// Where the program keeps everything when no --dir is given: the
// executable's folder when the user may write there and it is not a system
// folder (a portable copy), else the user's data folder. Root may write to
// /usr/bin, which must still never fill with accounts and logs.
std::string defaultProgramDirectory(const std::string& executableFolder, bool writable,
                                    const std::string& dataFolder);

enum class DirectoryCheck { Usable, Missing, NotADirectory };
// What --dir DIR names.
DirectoryCheck checkProgramDirectory(const std::string& directory);

// programDirectory() + suffix, with every backslash of the suffix turned into
// the native separator.
std::string programPath(std::string_view suffix);

// A backslash-separated suffix in native form ("\data\list" -> "/data/list").
std::string nativeSuffix(std::string_view suffix);

}  // namespace vidralo
