#pragma once
// The job's side of the history: each attempt's row is written before the
// job goes on, and 今天已发 is filled from it when the program starts. A
// history that cannot be written never holds up publishing: the failure is
// reported once (status bar, standard error, error log) and the job goes on.
#include <string>

#include "controls/control_model.h"
#include "history/history_store.h"

namespace vidralo {

class AttemptHistory {
 public:
  // The program directory's history, reported through `controls`.
  explicit AttemptHistory(ControlModel& controls);
  AttemptHistory(ControlModel& controls, std::string path);

  void record(const HistoryRow& row);

 private:
  void report(const std::string& message);

  ControlModel& controls_;
  HistoryStore store_;
  bool failureReported_ = false;
  std::string movedAsideReported_;
};

// Column 今天已发 of each row: the videos its account published today.
void restorePublishedToday(ControlModel& controls);

}  // namespace vidralo
