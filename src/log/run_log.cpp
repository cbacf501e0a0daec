#include "log/run_log.h"

#include <mutex>

#include "common/clock.h"
#include "common/gbk.h"
#include "common/program_dir.h"
#include "common/text_rules.h"
#include "common/whole_file.h"
#include "log/file_replace.h"

namespace vidralo {
namespace {

// Every line rewrites the whole file; two writers at once would each keep
// only their own line.
std::mutex runLogMutex;

}  // namespace

std::string runLogDateText(const std::tm& local) {
  return numberToText(local.tm_year + 1900) + "年" + numberToText(local.tm_mon + 1) + "月" +
         numberToText(local.tm_mday) + "日";
}

std::string runLogTimeStamp(const std::tm& local) {
  std::string text = runLogDateText(local);
  if (local.tm_sec != 0)
    return text + numberToText(local.tm_hour) + "时" + numberToText(local.tm_min) + "分" +
           numberToText(local.tm_sec) + "秒";
  if (local.tm_min != 0) return text + numberToText(local.tm_hour) + "时" + numberToText(local.tm_min) + "分";
  if (local.tm_hour != 0) return text + numberToText(local.tm_hour) + "时";
  return text;
}

// The name is kept in UTF-8 on disk: Linux file names are bytes, and UTF-8
// is what a Linux user's tools show correctly. Only the contents are GBK.
std::string runLogPath(const std::tm& local) {
  return programPath("\\data\\运行日志" + runLogDateText(local) + ".txt");
}

void writeRunLog(std::string_view message) {
  const std::tm local = localNow();
  const std::string line = utf8ToGbk(runLogTimeStamp(local) + "   " + std::string(message) + "\r\n");
  const std::string path = runLogPath(local);

  std::lock_guard lock(runLogMutex);
  // A link would have the file elsewhere rewritten.
  if (isSymbolicLink(path)) return;
  std::string previous;
  if (readWholeFile(path, previous) == ReadOutcome::Failed) return;
  replaceFileContents(path, line + previous, 0600);
}

}  // namespace vidralo
