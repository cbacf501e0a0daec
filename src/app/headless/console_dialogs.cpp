#include "app/headless/console_dialogs.h"

#include <cstdio>

#include "common/text_rules.h"

namespace vidralo {
namespace {

void printLine(const std::string& title, const std::string& text) {
  const std::string flat = replaceAll(replaceAll(text, "\r\n", " "), "\n", " ");
  std::fprintf(stderr, "%s %s\n", title.c_str(), flat.c_str());
  std::fflush(stderr);
}

}  // namespace

void ConsoleDialogs::message(const std::string& text, const std::string& title) { printLine(title, text); }

bool ConsoleDialogs::question(const std::string& text, const std::string& title) {
  printLine(title, text + "（无人应答，按取消处理）");
  return false;
}

std::optional<std::string> ConsoleDialogs::chooseFolder(const std::string&) { return std::nullopt; }

}  // namespace vidralo
