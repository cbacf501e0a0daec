#pragma once
// One parsed JSON text, read by member name or by a dotted path such as
// data[0].name. Used for the browser's version report.
#include <memory>
#include <string>
#include <string_view>

namespace vidralo {

class JsonDocument {
 public:
  JsonDocument();
  ~JsonDocument();
  JsonDocument(const JsonDocument&) = delete;
  JsonDocument& operator=(const JsonDocument&) = delete;

  // Parses `text`, repairing single backslashes (Windows paths) and a GBK
  // text on the way when the plain parse fails. The previous document is
  // released first. True when a document was parsed.
  bool loadText(std::string_view text);

  // The string at `name`: a top-level member when the name holds none of
  // ".", "/" or "[", else a path. A missing or non-string value reads as
  // empty, and an empty value as `defaultText`.
  std::string getText(std::string_view name, std::string_view defaultText = {}) const;

  bool loaded() const;
  // The text that was finally parsed, after any repair; empty when none.
  const std::string& source() const { return source_; }

 private:
  struct Parsed;
  bool tryParse(const std::string& text);
  std::unique_ptr<Parsed> document_;
  std::string source_;
};

// a.b[0].c -> /a/b/0/c; "\." keeps a dot inside a member name.
std::string toJsonPointer(std::string_view path);

// The backslash repair of loadText, on its own.
std::string repairBackslashes(std::string_view text);

}  // namespace vidralo
