#pragma once
// `vidralo --list-settings`: every control that --set accepts, with its kind,
// the value a run starts with when nothing is saved, and the value a run in
// the program directory would start with now.
#include <string>

namespace vidralo {

// A header line, then one line per control in the window's order, the
// fields separated by tabs: name, kind, default, current. Line breaks and
// tabs inside values are written as \n and \t; a saved password shows as
// "******". Reads the saved values and writes nothing.
std::string settingsListing();

}  // namespace vidralo
