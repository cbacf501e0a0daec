// The global grab of Ctrl+Alt+K. These cases need an X11 display (run the
// tests with QT_QPA_PLATFORM=xcb); offscreen they are skipped, and the
// window-shortcut fallback is covered by the main window's tests.
#include <xcb/xcb.h>

#include <QGuiApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>
#include <QWidget>
#include <cstdlib>
#include <memory>

#include "app/window/global_hot_key.h"
#include "gtest/gtest.h"

namespace vidralo::test {
namespace {

constexpr std::uint16_t kCtrlAlt = XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1;

// Another X client, as a second program on the same desktop would be.
class OtherClient {
 public:
  OtherClient() : connection_(xcb_connect(nullptr, nullptr)) {}
  ~OtherClient() { xcb_disconnect(connection_); }

  // Grabs every key with Ctrl+Alt; fails while anyone holds one of them.
  bool grabCtrlAltKeys() {
    xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
    auto cookie = xcb_grab_key_checked(connection_, 1, root, kCtrlAlt, XCB_GRAB_ANY, XCB_GRAB_MODE_ASYNC,
                                       XCB_GRAB_MODE_ASYNC);
    xcb_generic_error_t* error = xcb_request_check(connection_, cookie);
    std::free(error);
    return error == nullptr;
  }

 private:
  xcb_connection_t* connection_;
};

bool onX11() { return QGuiApplication::platformName() == "xcb"; }

TEST(GlobalHotKeyX11Test, GrabsTheKeyForTheWholeDesktopUntilReleased) {
  if (!onX11()) GTEST_SKIP() << "needs an X11 display";
  QWidget window;
  int presses = 0;
  GlobalHotKey key(&window, [&] { ++presses; });
  ASSERT_TRUE(key.registerKey());
  EXPECT_EQ(key.kind(), GlobalHotKey::Kind::Global);
  EXPECT_FALSE(OtherClient().grabCtrlAltKeys());

  // The window is not even shown: only the grab can deliver the key.
  if (!QStandardPaths::findExecutable("xdotool").isEmpty()) {
    QProcess::execute("xdotool", {"key", "ctrl+alt+k"});
    EXPECT_TRUE(QTest::qWaitFor([&] { return presses == 1; }, 10000));
  }

  key.release();
  EXPECT_EQ(key.id(), 0);
  EXPECT_TRUE(OtherClient().grabCtrlAltKeys());
}

TEST(GlobalHotKeyX11Test, FallsBackToAWindowShortcutWhenAnotherProgramHoldsTheKey) {
  if (!onX11()) GTEST_SKIP() << "needs an X11 display";
  OtherClient holder;
  ASSERT_TRUE(holder.grabCtrlAltKeys());
  QWidget window;
  GlobalHotKey key(&window, [] {});
  ASSERT_TRUE(key.registerKey());
  EXPECT_EQ(key.kind(), GlobalHotKey::Kind::WindowShortcut);
}

}  // namespace
}  // namespace vidralo::test
