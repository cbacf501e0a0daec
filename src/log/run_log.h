#pragma once
// The run log: one GBK text file per local calendar day under the data
// directory, newest line first. It traces the start-up and update steps.
#include <ctime>
#include <string>
#include <string_view>

namespace vidralo {

// Inserts "date time   message" CR LF at the top of today's file (time from
// appClock()). Nothing is reported: without the data directory, or when the
// file cannot be read or replaced, the line is dropped.
void writeRunLog(std::string_view message);

// "2021年5月20日": the day part of file names and lines, no leading zeros.
std::string runLogDateText(const std::tm& local);

// The date text followed by "9时5分7秒", "9时5分", "9时" or nothing, cut
// after the last field that is not zero.
std::string runLogTimeStamp(const std::tm& local);

// The full path of the day file of `local`.
std::string runLogPath(const std::tm& local);

}  // namespace vidralo
