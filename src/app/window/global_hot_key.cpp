#include "app/window/global_hot_key.h"

#include <xcb/xcb.h>

#include <QGuiApplication>
#include <QWidget>
#include <array>
#include <cstdlib>
#include <memory>

namespace vidralo {
namespace {

constexpr xcb_keysym_t kKeysymLowerK = 0x006b;
constexpr xcb_keysym_t kKeysymUpperK = 0x004b;
constexpr std::uint16_t kModifiers = XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1;  // Ctrl + Alt
// CapsLock and NumLock (Mod2 on common layouts) must not disable the key, and
// a passive grab matches modifiers exactly, so each combination is grabbed.
constexpr std::array<std::uint16_t, 4> kLockVariants{0, XCB_MOD_MASK_LOCK, XCB_MOD_MASK_2,
                                                     XCB_MOD_MASK_LOCK | XCB_MOD_MASK_2};

struct FreeDeleter {
  void operator()(void* pointer) const { std::free(pointer); }
};

xcb_connection_t* x11Connection() {
  auto* app = qGuiApp;
  auto* x11 = app ? app->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
  return x11 ? x11->connection() : nullptr;
}

std::uint8_t keyCodeOfK(xcb_connection_t* connection) {
  const xcb_setup_t* setup = xcb_get_setup(connection);
  const int count = setup->max_keycode - setup->min_keycode + 1;
  auto cookie = xcb_get_keyboard_mapping(connection, setup->min_keycode, static_cast<std::uint8_t>(count));
  std::unique_ptr<xcb_get_keyboard_mapping_reply_t, FreeDeleter> reply(
      xcb_get_keyboard_mapping_reply(connection, cookie, nullptr));
  if (!reply) return 0;
  const xcb_keysym_t* symbols = xcb_get_keyboard_mapping_keysyms(reply.get());
  const int perCode = reply->keysyms_per_keycode;
  for (int code = 0; code < count; ++code)
    for (int level = 0; level < perCode; ++level) {
      const xcb_keysym_t symbol = symbols[code * perCode + level];
      if (symbol == kKeysymLowerK || symbol == kKeysymUpperK)
        return static_cast<std::uint8_t>(setup->min_keycode + code);
    }
  return 0;
}

std::vector<xcb_window_t> rootWindows(xcb_connection_t* connection) {
  std::vector<xcb_window_t> roots;
  for (auto screen = xcb_setup_roots_iterator(xcb_get_setup(connection)); screen.rem; xcb_screen_next(&screen))
    roots.push_back(screen.data->root);
  return roots;
}

}  // namespace

GlobalHotKey::GlobalHotKey(QWidget* window, std::function<void()> pressed)
    : window_(window), pressed_(std::move(pressed)) {}

GlobalHotKey::~GlobalHotKey() { release(); }

bool GlobalHotKey::registerKey() {
  if (kind_ != Kind::None) return true;
  if (grabOnX11()) {
    kind_ = Kind::Global;
  } else if (window_) {
    useWindowShortcut();
    kind_ = Kind::WindowShortcut;
  }
  return kind_ != Kind::None;
}

void GlobalHotKey::release() {
  if (kind_ == Kind::Global) ungrabOnX11();
  delete shortcut_;
  kind_ = Kind::None;
}

bool GlobalHotKey::grabOnX11() {
  xcb_connection_t* connection = x11Connection();
  if (!connection) return false;
  keyCode_ = keyCodeOfK(connection);
  if (keyCode_ == 0) return false;
  grabbedRoots_ = rootWindows(connection);
  std::vector<xcb_void_cookie_t> cookies;
  for (xcb_window_t root : grabbedRoots_)
    for (std::uint16_t locks : kLockVariants)
      cookies.push_back(xcb_grab_key_checked(connection, 1, root, kModifiers | locks, keyCode_, XCB_GRAB_MODE_ASYNC,
                                             XCB_GRAB_MODE_ASYNC));
  bool granted = true;
  for (xcb_void_cookie_t cookie : cookies) {
    // BadAccess: another program holds the combination.
    std::unique_ptr<xcb_generic_error_t, FreeDeleter> error(xcb_request_check(connection, cookie));
    if (error) granted = false;
  }
  if (!granted) {
    ungrabOnX11();
    return false;
  }
  QCoreApplication::instance()->installNativeEventFilter(this);
  return true;
}

void GlobalHotKey::ungrabOnX11() {
  if (xcb_connection_t* connection = x11Connection()) {
    for (xcb_window_t root : grabbedRoots_)
      for (std::uint16_t locks : kLockVariants) xcb_ungrab_key(connection, keyCode_, root, kModifiers | locks);
    xcb_flush(connection);
  }
  grabbedRoots_.clear();
  if (auto* app = QCoreApplication::instance()) app->removeNativeEventFilter(this);
}

void GlobalHotKey::useWindowShortcut() {
  shortcut_ = new QShortcut(QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_K), window_);
  shortcut_->setContext(Qt::ApplicationShortcut);
  shortcut_->setAutoRepeat(false);
  QObject::connect(shortcut_, &QShortcut::activated, window_, [this] { pressed_(); });
}

bool GlobalHotKey::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
  if (eventType != "xcb_generic_event_t") return false;
  auto* event = static_cast<xcb_generic_event_t*>(message);
  const std::uint8_t type = event->response_type & 0x7f;
  if (type == XCB_KEY_RELEASE) {
    auto* key = reinterpret_cast<xcb_key_release_event_t*>(event);
    if (key->detail == keyCode_) lastReleaseTime_ = key->time;
    return false;
  }
  if (type != XCB_KEY_PRESS) return false;
  auto* key = reinterpret_cast<xcb_key_press_event_t*>(event);
  if (key->detail != keyCode_ || (key->state & kModifiers) != kModifiers) return false;
  // Holding the key repeats it as a release and a press with the same time;
  // only the first press counts.
  if (key->time != lastReleaseTime_) pressed_();
  return true;
}

}  // namespace vidralo
