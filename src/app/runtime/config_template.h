#pragma once
// The config.ini a first start leaves in the program directory: every key
// the program reads, commented out with what it does, so that the operator
// finds them in the place to edit.
#include <string>

namespace vidralo {

// UTF-8; every key line is a comment, so the template configures nothing.
std::string configTemplateText();

// Writes the template as config.ini unless a file of that name exists
// (never replaced, also not one created at the same moment). True when it
// was written.
bool writeConfigTemplateIfMissing();

}  // namespace vidralo
