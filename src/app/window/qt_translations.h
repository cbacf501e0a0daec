#pragma once
// Qt's own texts (the buttons of message boxes, the file chooser) in the
// program's language: Qt's Chinese translations from the system's Qt
// translations folder (Debian: qt6-translations-l10n).
namespace vidralo {

// Installs them into the running application; false when they are missing,
// and Qt's texts then stay English.
bool installQtTranslations();

}  // namespace vidralo
