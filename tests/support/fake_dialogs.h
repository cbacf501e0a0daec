#pragma once
// Dialogs that a test answers: messages and questions are recorded, questions
// get `answer`, and the folder chooser returns `chosenFolder`.
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "controls/dialogs.h"

namespace vidralo::test {

class FakeDialogs : public Dialogs {
 public:
  struct Shown {
    std::string text;
    std::string title;
  };

  void message(const std::string& text, const std::string& title = "信息：") override {
    std::lock_guard lock(mutex_);
    messages_.push_back({text, title});
  }

  bool question(const std::string& text, const std::string& title = "信息：") override {
    std::lock_guard lock(mutex_);
    questions_.push_back({text, title});
    return answer;
  }

  std::optional<std::string> chooseFolder(const std::string& startFolder) override {
    std::lock_guard lock(mutex_);
    folderStarts_.push_back(startFolder);
    return chosenFolder;
  }

  std::vector<Shown> messages() const {
    std::lock_guard lock(mutex_);
    return messages_;
  }
  std::vector<std::string> messageTexts() const {
    std::lock_guard lock(mutex_);
    std::vector<std::string> texts;
    for (const Shown& shown : messages_) texts.push_back(shown.text);
    return texts;
  }
  std::vector<Shown> questions() const {
    std::lock_guard lock(mutex_);
    return questions_;
  }
  std::vector<std::string> folderStarts() const {
    std::lock_guard lock(mutex_);
    return folderStarts_;
  }

  // Set before the code under test runs.
  bool answer = true;
  std::optional<std::string> chosenFolder;

 private:
  mutable std::mutex mutex_;
  std::vector<Shown> messages_;
  std::vector<Shown> questions_;
  std::vector<std::string> folderStarts_;
};

}  // namespace vidralo::test
