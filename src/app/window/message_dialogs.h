#pragma once
// The operator-facing dialogs over the main window: message boxes with one
// OK button and no icon, OK/Cancel questions, and the folder chooser. Any
// thread may call them; the dialog itself always runs on the GUI thread, and
// a calling thread other than that waits for the answer.
#include <QPointer>
#include <QWidget>

#include "controls/dialogs.h"

namespace vidralo {

class MessageDialogs final : public Dialogs {
 public:
  // `owner` is the window the dialogs belong to; it must live on the GUI thread.
  explicit MessageDialogs(QWidget* owner) : owner_(owner) {}

  void message(const std::string& text, const std::string& title = "信息：") override;
  bool question(const std::string& text, const std::string& title = "信息：") override;
  std::optional<std::string> chooseFolder(const std::string& startFolder) override;

 private:
  QPointer<QWidget> owner_;
};

}  // namespace vidralo
