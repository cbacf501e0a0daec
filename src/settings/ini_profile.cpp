#include "settings/ini_profile.h"

#include "common/gbk.h"
#include "common/whole_file.h"
#include "log/file_replace.h"
#include "settings/ini_line.h"

namespace vidralo {
namespace {

bool hasLineBreak(std::string_view text) { return text.find_first_of("\r\n") != std::string_view::npos; }

bool isBlankLine(std::string_view text) { return ini::trimBlanks(text).empty(); }

bool acceptableKey(std::string_view key) {
  return !key.empty() && !hasLineBreak(key) && key.find('=') == std::string_view::npos && key.front() != '[' &&
         ini::trimBlanks(key) == key;
}

}  // namespace

IniProfile::IniProfile(std::string path) : path_(std::move(path)) {
  std::string bytes;
  const ReadOutcome outcome = readWholeFile(path_, bytes);
  unreadable_ = outcome == ReadOutcome::Failed;

  std::size_t start = 0;
  while (start < bytes.size()) {
    const std::size_t newline = bytes.find('\n', start);
    if (newline == std::string::npos) {
      lines_.push_back({bytes.substr(start), ""});
      break;
    }
    const bool crlf = newline > start && bytes[newline - 1] == '\r';
    const std::size_t textEnd = crlf ? newline - 1 : newline;
    lines_.push_back({bytes.substr(start, textEnd - start), crlf ? "\r\n" : "\n"});
    start = newline + 1;
  }
}

bool IniProfile::findSection(std::string_view gbkSection, Section& found) const {
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    std::string_view name;
    if (!ini::parseSectionLine(lines_[i].text, name) || !ini::sameName(name, gbkSection)) continue;
    std::size_t end = i + 1;
    while (end < lines_.size() && !ini::parseSectionLine(lines_[end].text, name)) ++end;
    found = {i, end};
    return true;
  }
  return false;
}

std::size_t IniProfile::findKey(const Section& section, std::string_view gbkKey) const {
  for (std::size_t i = section.header + 1; i < section.end; ++i) {
    ini::KeyLine line;
    if (ini::parseKeyLine(lines_[i].text, line) && ini::sameName(line.key, gbkKey)) return i;
  }
  return std::string::npos;
}

std::string IniProfile::value(std::string_view section, std::string_view key) const {
  Section found;
  if (!findSection(utf8ToGb18030(section), found)) return {};
  const std::size_t at = findKey(found, utf8ToGb18030(key));
  if (at == std::string::npos) return {};
  ini::KeyLine line;
  ini::parseKeyLine(lines_[at].text, line);
  return gb18030ToUtf8(line.value);
}

void IniProfile::insertLine(std::size_t at, std::string text) {
  // The line before may be the file's unterminated last line.
  if (at > 0 && lines_[at - 1].ending.empty()) lines_[at - 1].ending = "\r\n";
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at), Line{std::move(text), "\r\n"});
}

bool IniProfile::setValue(std::string_view section, std::string_view key, std::string_view value) {
  if (hasLineBreak(section) || ini::trimBlanks(section) != section || !acceptableKey(key) || hasLineBreak(value))
    return false;
  const std::string gbkSection = utf8ToGb18030(section);
  const std::string gbkKey = utf8ToGb18030(key);
  const std::string gbkValue = utf8ToGb18030(value);
  changed_ = true;

  Section found;
  if (!findSection(gbkSection, found)) {
    insertLine(lines_.size(), "[" + gbkSection + "]");
    insertLine(lines_.size(), gbkKey + "=" + gbkValue);
    return true;
  }
  const std::size_t at = findKey(found, gbkKey);
  if (at != std::string::npos) {
    ini::KeyLine line;
    ini::parseKeyLine(lines_[at].text, line);
    lines_[at].text = lines_[at].text.substr(0, line.afterEquals) + gbkValue;
    return true;
  }
  // After the section's last line that is not blank, so that an empty line
  // separating it from the next section stays where it is.
  std::size_t insertAt = found.end;
  while (insertAt > found.header + 1 && isBlankLine(lines_[insertAt - 1].text)) --insertAt;
  insertLine(insertAt, gbkKey + "=" + gbkValue);
  return true;
}

bool IniProfile::save() {
  if (!changed_) return true;
  if (unreadable_) return false;
  std::string bytes;
  for (const Line& line : lines_) {
    bytes += line.text;
    bytes += line.ending;
  }
  if (!replaceFileContents(path_, bytes, 0600)) return false;
  changed_ = false;
  return true;
}

std::string readProfileString(const std::string& path, std::string_view section, std::string_view key) {
  return IniProfile(path).value(section, key);
}

bool writeProfileString(const std::string& path, std::string_view section, std::string_view key,
                        std::string_view value) {
  IniProfile profile(path);
  return profile.setValue(section, key, value) && profile.save();
}

}  // namespace vidralo
