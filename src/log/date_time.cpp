#include "log/date_time.h"

#include <cstdio>

#include "common/clock.h"
#include "common/text_rules.h"

namespace vidralo {
namespace {

std::string padded(int value, int width) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%0*d", width, value);
  return buffer;
}

}  // namespace

std::tm localTime(std::chrono::system_clock::time_point when) {
  const std::time_t seconds = std::chrono::system_clock::to_time_t(when);
  std::tm local{};
  localtime_r(&seconds, &local);
  return local;
}

std::string formatDateTime(std::chrono::system_clock::time_point when, std::string_view format) {
  return formatDateTime(localTime(when), format);
}

std::string formatDateTime(const std::tm& local, std::string_view format) {
  if (format.empty()) format = "yyyy-MM-dd HH:mm:ss";
  std::string text = replaceAll(format, "yyyy", padded(local.tm_year + 1900, 4));
  text = replaceAll(text, "MM", padded(local.tm_mon + 1, 2));
  text = replaceAll(text, "dd", padded(local.tm_mday, 2));
  text = replaceAll(text, "HH", padded(local.tm_hour, 2));
  text = replaceAll(text, "mm", padded(local.tm_min, 2));
  return replaceAll(text, "ss", padded(local.tm_sec, 2));
}

std::string formatDateTime() { return formatDateTime(appClock().wallNow()); }

}  // namespace vidralo
