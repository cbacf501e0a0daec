// The window tests need a QApplication; without a display they run on the
// offscreen platform.
#include <gtest/gtest.h>

#include <QApplication>

#include "app/window/gui_message_pump.h"
#include "app/window/qt_translations.h"
#include "support/processes.h"

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  vidralo::registerGuiMessagePump();
  // As the program does: Qt's own texts in Chinese.
  if (!vidralo::installQtTranslations()) return 1;
  ::testing::InitGoogleTest(&argc, argv);
  // Close-path tests end their process; a fresh child per test keeps them
  // apart from the window state of the others.
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  vidralo::test::failWhenBrowsersAreLeftBehind();
  return RUN_ALL_TESTS();
}
