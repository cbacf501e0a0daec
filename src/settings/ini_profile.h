#pragma once
// An INI file read and written the way the Windows profile functions do it,
// for files shared with installations of the program on Windows:
// - "[section]" lines and "key=value" lines; section and key names compare
//   without ASCII case (other characters exactly); blanks around names and
//   values are not part of them; the first of duplicate sections or keys wins;
// - a write changes the one key line and keeps every other line byte for
//   byte; a new key goes to the end of its section, a new section to the end
//   of the file; new lines end in CR LF;
// - the file is GB18030 on disk, which is byte for byte GBK for every
//   character GBK has; names and values are UTF-8 here.
// Unlike the Windows functions, a value reads back whole (they cut it at
// 10239 bytes, and a cut value saved back is lost for good), a write
// replaces the file atomically, and a newly created file is readable by its
// owner only (it holds a password).
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace vidralo {

// One load of a profile file, read and changed in memory, written by save().
// Several changes thus cost one file write with the same result as writing
// key by key.
class IniProfile {
 public:
  // Loads the file; a missing or unreadable file reads as empty.
  explicit IniProfile(std::string path);

  // The value, or an empty text when the section or key is missing.
  std::string value(std::string_view section, std::string_view key) const;

  // False, with nothing changed, for names or values that would break the
  // file's line structure: line breaks anywhere, an empty key, a key with
  // "=" or blanks around it, or one that starts with "[".
  bool setValue(std::string_view section, std::string_view key, std::string_view value);

  // Writes the changes, if any. False when the file could not be replaced,
  // and also when it existed but could not be read: replacing it then would
  // drop whatever it held.
  bool save();

 private:
  struct Line {
    std::string text;    // GBK bytes without the line end
    std::string ending;  // "\r\n", "\n" or nothing for a last unterminated line
  };
  struct Section {
    std::size_t header;  // index of the "[...]" line
    std::size_t end;     // one past its last line
  };

  bool findSection(std::string_view gbkSection, Section& found) const;
  std::size_t findKey(const Section& section, std::string_view gbkKey) const;
  void insertLine(std::size_t at, std::string text);

  std::string path_;
  std::vector<Line> lines_;
  bool unreadable_ = false;
  bool changed_ = false;
};

// One value read from the file at `path`.
std::string readProfileString(const std::string& path, std::string_view section, std::string_view key);

// One value written into the file at `path`; true when the file holds it.
bool writeProfileString(const std::string& path, std::string_view section, std::string_view key,
                        std::string_view value);

}  // namespace vidralo
