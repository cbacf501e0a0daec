#pragma once
// Local date-time texts for log lines and time stamps.
#include <chrono>
#include <ctime>
#include <string>
#include <string_view>

namespace vidralo {

// Replaces in `format` "yyyy" by the year (zero-padded to 4 digits), "MM",
// "dd", "HH", "mm" and "ss" by month, day, hour (0-23), minute and second
// (two digits each), all in local time. An empty format is the default.
std::string formatDateTime(std::chrono::system_clock::time_point when,
                           std::string_view format = "yyyy-MM-dd HH:mm:ss");

// The same for a broken-down local time; also reaches years that a
// system_clock time point cannot hold (it spans about 1678 to 2262).
std::string formatDateTime(const std::tm& local, std::string_view format = "yyyy-MM-dd HH:mm:ss");

// The current time of appClock(), in the default format.
std::string formatDateTime();

// `when` broken down in local time.
std::tm localTime(std::chrono::system_clock::time_point when);

}  // namespace vidralo
