#pragma once
// The history as `vidralo --history` prints it: one line of text per row
// (line breaks inside its texts become blanks), or CSV (UTF-8, RFC 4180 quoting) with the database's column names.
#include <string>

#include "history/history_row.h"

namespace vidralo {

// "2026-12-09 10:15:00  账号 501（五零一）  失败 waitUploadComplete（超过放弃秒）
//  用时 305秒  /videos/a.mp4  标题：…  证据：…"
std::string historyTextLine(const HistoryRow& row);

std::string historyCsvHeader();
std::string historyCsvLine(const HistoryRow& row);

}  // namespace vidralo
