#pragma once
// The disclaimer shown once per user: accepting it leaves a marker file in
// the user's configuration folder, so that no copy of the program asks again.
#include <string>

#include "controls/dialogs.h"

namespace vidralo {

// Ten lines, CR LF between them.
std::string disclaimerText();

// "vidralo/vsbq.dll" under the XDG configuration folder
// ($XDG_CONFIG_HOME, else ~/.config).
std::string disclaimerMarkerPath();

bool disclaimerAccepted();

// Writes the marker (GBK: the agreement line, an empty line, the
// disclaimer), as OK does; false when it could not be written.
bool acceptDisclaimer();

// Asks with OK/Cancel (title "免责声明") unless the marker exists. OK writes
// the marker; Cancel leaves it missing, so the next start asks again.
void showDisclaimerOnce(Dialogs& dialogs);

}  // namespace vidralo
