#include "app/window/qt_translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace vidralo {

bool installQtTranslations() {
  // Owned by the application, which keeps using it until it ends.
  auto* translator = new QTranslator(QCoreApplication::instance());
  // The program speaks Chinese whatever the desktop's locale.
  if (!translator->load(QStringLiteral("qtbase_zh_CN"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    delete translator;
    return false;
  }
  return QCoreApplication::installTranslator(translator);
}

}  // namespace vidralo
