#pragma once
// Prints the job's progress of a run without a window: every change of the
// account list's status cells (状态, 正在发布, 今天已发) and of the captions
// of 分组框_控制 and 分组框6, and of the redial's status 宽带_提示 (its
// lines joined by " / "), one line each, with a time stamp and the account
// or control, e.g.
//   2026-12-09 07:01:02 [账号 101] 状态: 延时3秒后继续
//   2026-12-09 07:01:30 [宽带_提示] 提示: 当前ip：203.0.113.7 / 重播成功新ip：10.1.2.3
// A "上传失败" line names the evidence of the failure.
#include <cstdio>
#include <functional>
#include <mutex>
#include <string>

#include "controls/control_model.h"

namespace vidralo {

class ProgressPrinter {
 public:
  // `failureEvidence` gives the evidence file of the latest failure.
  ProgressPrinter(ControlModel& controls, std::FILE* out, std::function<std::string()> failureEvidence = {});
  ~ProgressPrinter();
  ProgressPrinter(const ProgressPrinter&) = delete;
  ProgressPrinter& operator=(const ProgressPrinter&) = delete;

 private:
  void onChange(const ControlChange& change);
  void print(const std::string& subject, const std::string& what, const std::string& value);

  ControlModel& controls_;
  std::FILE* out_;
  std::function<std::string()> failureEvidence_;
  std::mutex mutex_;
  int subscription_;
};

}  // namespace vidralo
