#pragma once
// Dialogs of a run without a window: messages go to standard error, where an
// operator or a log collector sees them, and nothing waits for an answer.
#include "controls/dialogs.h"

namespace vidralo {

class ConsoleDialogs final : public Dialogs {
 public:
  void message(const std::string& text, const std::string& title) override;
  // Nobody can answer: the cautious choice, Cancel.
  bool question(const std::string& text, const std::string& title) override;
  std::optional<std::string> chooseFolder(const std::string& startFolder) override;
};

}  // namespace vidralo
