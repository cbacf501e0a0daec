#pragma once
// Operator-facing dialogs behind an interface, so that handlers stay free of
// widgets and tests can answer them. The window provides the real ones:
// message boxes with one OK button, no icon, owned by the main window and
// titled "信息：" unless a caller gives another title.
#include <optional>
#include <string>

namespace vidralo {

class Dialogs {
 public:
  virtual ~Dialogs() = default;
  virtual void message(const std::string& text, const std::string& title = "信息：") = 0;
  // OK/Cancel; true for OK.
  virtual bool question(const std::string& text, const std::string& title = "信息：") = 0;
  // The folder chooser ("请选择一个文件夹"), opening at `startFolder`; empty
  // when the operator cancels.
  virtual std::optional<std::string> chooseFolder(const std::string& startFolder) = 0;
};

}  // namespace vidralo
