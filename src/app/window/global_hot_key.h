#pragma once
// The start/stop key Ctrl+Alt+K. Under X11 it is grabbed on the root window,
// so it works while the window is minimised or inactive; where the desktop
// offers no such grab (Wayland, offscreen) it falls back to a shortcut that
// works while one of the program's windows is active.
#include <QAbstractNativeEventFilter>
#include <QPointer>
#include <QShortcut>
#include <cstdint>
#include <functional>
#include <vector>

class QWidget;

namespace vidralo {

class GlobalHotKey final : public QAbstractNativeEventFilter {
 public:
  enum class Kind { None, Global, WindowShortcut };

  GlobalHotKey(QWidget* window, std::function<void()> pressed);
  ~GlobalHotKey() override;
  GlobalHotKey(const GlobalHotKey&) = delete;
  GlobalHotKey& operator=(const GlobalHotKey&) = delete;

  // Registers the key; true when it is active in either form.
  bool registerKey();
  void release();

  Kind kind() const { return kind_; }
  // Non-zero while registered.
  int id() const { return kind_ == Kind::None ? 0 : 1; }

  bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

 private:
  bool grabOnX11();
  void ungrabOnX11();
  void useWindowShortcut();

  QPointer<QWidget> window_;
  std::function<void()> pressed_;
  Kind kind_ = Kind::None;
  QPointer<QShortcut> shortcut_;
  // X11 state: the key code of K and the root windows it is grabbed on.
  std::uint8_t keyCode_ = 0;
  std::vector<std::uint32_t> grabbedRoots_;
  std::uint32_t lastReleaseTime_ = 0;
};

}  // namespace vidralo
