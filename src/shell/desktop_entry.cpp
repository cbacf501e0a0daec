#include "shell/desktop_entry.h"

#include <QStandardPaths>
#include <QString>

#include <algorithm>
#include <filesystem>

#include "common/program_dir.h"
#include "log/file_replace.h"

namespace vidralo {
namespace {

constexpr const char* kEntrySuffix = ".desktop";
constexpr const char* kGenericIcon = "application-x-executable";

std::string lowerCase(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

// A value of a desktop entry: backslash escapes for the characters a value
// cannot hold as they are.
std::string entryValue(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\t': out += "\\t"; break;
      case '\r': out += "\\r"; break;
      default: out += c;
    }
  }
  return out;
}

// One word of an Exec line, in double quotes, with the characters that are
// special inside them escaped, and "%" doubled (field codes).
std::string execWord(const std::string& word) {
  std::string out = "\"";
  for (char c : word) {
    if (c == '"' || c == '`' || c == '$' || c == '\\') out += '\\';
    out += c;
    if (c == '%') out += '%';
  }
  return out + "\"";
}

// The program's icon beside its executable, or the generic one when it is
// missing.
std::string defaultIcon() {
  const std::string exe = executablePath();
  if (exe.empty()) return kGenericIcon;
  const std::filesystem::path icon = std::filesystem::path(exe).parent_path() / "vidralo.svg";
  std::error_code error;
  return std::filesystem::exists(icon, error) ? icon.string() : kGenericIcon;
}

}  // namespace

std::string desktopFolder() {
  return QStandardPaths::writableLocation(QStandardPaths::DesktopLocation).toStdString();
}

std::string desktopEntryFileName(const std::string& linkName) {
  std::string name = std::filesystem::path(linkName).filename().string();
  if (lowerCase(name).find(kEntrySuffix) == std::string::npos) name += kEntrySuffix;
  return name;
}

std::string desktopEntryText(const std::string& name, const std::string& target, const ShortcutOptions& options) {
  std::string exec = execWord(target);
  for (const std::string& argument : options.arguments) exec += " " + execWord(argument);
  std::string text = "[Desktop Entry]\nType=Application\nVersion=1.0\nName=" + entryValue(name) + "\n";
  if (!options.description.empty()) text += "Comment=" + entryValue(options.description) + "\n";
  text += "Exec=" + entryValue(exec) + "\n";
  text += "Path=" + entryValue(std::filesystem::path(target).parent_path().string()) + "\n";
  text += "Icon=" + entryValue(options.icon.empty() ? defaultIcon() : options.icon) + "\n";
  text += "Terminal=false\n";
  return text;
}

bool createShortcut(const std::string& linkName, const std::string& target, const ShortcutOptions& options) {
  const std::string folder = desktopFolder();
  const std::string fileName = desktopEntryFileName(linkName);
  const std::filesystem::path entry = std::filesystem::path(folder) / fileName;
  std::error_code error;
  std::filesystem::remove(entry, error);
  if (target.find('/') == std::string::npos) return false;

  std::filesystem::create_directories(folder, error);
  std::string name = fileName.substr(0, lowerCase(fileName).rfind(kEntrySuffix));
  // The old entry is gone, so the new one gets the executable mode.
  return replaceFileContents(entry.string(), desktopEntryText(name, target, options), 0755);
}

}  // namespace vidralo
