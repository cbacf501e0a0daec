#include "history/history_listing.h"

#include <initializer_list>

#include "history/history_schema.h"

namespace vidralo {
namespace {

std::string csvField(const std::string& value) {
  if (value.find_first_of(",\"\r\n") == std::string::npos) return value;
  std::string quoted = "\"";
  for (char c : value) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

// A row stays one line however its texts were typed.
std::string oneLine(std::string text) {
  for (char& c : text)
    if (c == '\r' || c == '\n') c = ' ';
  return text;
}

std::string commaSeparated(std::initializer_list<std::string> fields) {
  std::string line;
  bool first = true;
  for (const std::string& field : fields) {
    if (!first) line += ',';
    line += field;
    first = false;
  }
  return line;
}

}  // namespace

std::string historyTextLine(const HistoryRow& row) {
  std::string account = "账号 " + row.accountId;
  if (!row.nickname.empty()) account += "（" + row.nickname + "）";
  std::string outcome(outcomeText(row.outcome));
  if (!row.step.empty()) outcome += " " + row.step;
  if (!row.reason.empty()) outcome += "（" + row.reason + "）";
  std::string line = row.time + "  " + account + "  " + outcome + "  用时 " + std::to_string(row.seconds) + "秒";
  if (!row.videoPath.empty()) line += "  " + row.videoPath;
  if (!row.title.empty()) line += "  标题：" + row.title;
  if (!row.evidencePath.empty()) line += "  证据：" + row.evidencePath;
  return oneLine(std::move(line));
}

std::string historyCsvHeader() {
  std::string header;
  for (const char* c = kHistoryColumns; *c; ++c)
    if (*c != ' ') header += *c;
  return header;
}

std::string historyCsvLine(const HistoryRow& row) {
  return commaSeparated({csvField(row.time), csvField(row.accountId), csvField(row.nickname), csvField(row.videoPath),
                 std::to_string(row.videoSize), std::to_string(row.videoMtime), csvField(row.title),
                 std::string(outcomeKey(row.outcome)), csvField(row.step), csvField(row.reason),
                 csvField(row.evidencePath), std::to_string(row.seconds)});
}

}  // namespace vidralo
