#pragma once
// The program directory: everything Vidralo keeps lives below it, so copying
// the directory copies the installation. Paths are written as the directory
// plus a suffix with backslashes ("\data\list"); programPath turns the suffix
// into the native form.
#include <string>
#include <string_view>

namespace vidralo {

// The directory of the running executable, without a trailing separator,
// unless setProgramDirectory chose another one.
std::string programDirectory();

void setProgramDirectory(std::string directory);

// The full path of the running executable; empty when it cannot be read.
std::string executablePath();

// Takes "--dir DIR" out of the command line (argc/argv are updated) and sets
// the program directory from it; without it, the executable's directory.
void initProgramDirectory(int& argc, char** argv);

// programDirectory() + suffix, with every backslash of the suffix turned into
// the native separator.
std::string programPath(std::string_view suffix);

// A backslash-separated suffix in native form ("\data\list" -> "/data/list").
std::string nativeSuffix(std::string_view suffix);

}  // namespace vidralo
