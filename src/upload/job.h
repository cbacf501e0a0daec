#pragma once
// One run of the publishing job, on the job thread: rounds over the account
// list, videos per account, pauses, forbidden hours and the time limit of
// each video. Every setting is read from the controls when it is used; every
// wait is a PumpedWait, so a Stop (the thread's stop token) ends the run at
// the next wait or step boundary without starting another step.
#include <atomic>
#include <functional>
#include <string>

#include "automation/browser_engine.h"
#include "automation/browser_session.h"
#include "controls/control_model.h"
#include "history/history_row.h"
#include "upload/attempt_history.h"
#include "upload/elapsed_ticker.h"
#include "upload/publication_journal.h"
#include "upload/run_summary.h"
#include "upload/titles.h"

namespace vidralo {

// What a run shares with the JobRunner that outlives it.
struct JobContext {
  ControlModel& controls;
  BrowserEngine& engine;
  BrowserSession& session;
  TitlePool& titles;
  // The row the job works on; survives from one run to the next (-1: none).
  std::atomic<int>& jobRow;
  // Changes the public IP address between accounts, when wanted.
  std::function<void()> changeIp;
  // True when the account's record file exists but cannot be read; such an
  // account is passed over. Empty: records are not looked at.
  std::function<bool(const std::string& accountId)> recordUnreadable;
  // Counts every video of the run per account.
  RunSummary& summary;
  // Receives the path of each failure's evidence, before "上传失败" is shown.
  std::function<void(const std::string&)> evidenceWritten;
  // Set when the run ended because the publication journal could not be
  // written: without it no publication may happen.
  std::atomic<bool>& journalUnwritable;
};

class Job {
 public:
  // `abandonLimit`: seconds one video may take, 0 for no limit; fixed for the run.
  Job(JobContext context, int abandonLimit);

  // Runs rounds until the list is done without 选择框_自动循环, or Stop.
  void run();

 private:
  // False when no further round follows (done, or stopped).
  bool runRound();
  // One account's turn; false when stopped.
  bool workOnAccount(int position, int perTurn);
  // Why the row's account must not be worked on (shown in its status
  // column); empty when it may.
  std::string refusalFor(const std::string& accountId, const std::string& folder) const;
  // The row's video folder, or the default one when it does not exist.
  std::string videoFolder() const;
  // Appends the video's state to the journal; false, with the job to end,
  // when it could not be written.
  bool journal(JournalState state, const std::string& title);
  // The journal failed: says so everywhere and ends the run.
  void stopForJournal();
  // One repetition of an account's turn; false when stopped.
  bool doVideo(int& done);
  VideoOutcome uploadOneVideo();
  // The one place where every attempt's outcome is told (the run summary).
  void reportOutcome(VideoOutcome outcome);
  // Opens the account's browser, trying a few times; the page's state, with
  // startFailure_ set when the starts failed.
  PageState openBrowser();
  bool withinTimeLimit();
  // Keeps the evidence of the current video's failure, once per video.
  void recordFailureOnce(const std::string& reason);
  // The current attempt's row in the history, written before the job goes on.
  void recordAttempt(AttemptOutcome outcome, std::string reason = {});
  void forbiddenHoursGate();
  bool pauseAfterVideo();
  bool waitBeforeNextRound(int accountCount);

  int setting(ControlId id) const;
  bool checked(ControlId id) const;
  void showInBrowserTitle(const std::string& text);

  JobContext context_;
  ControlModel& controls_;
  const int abandonLimit_;
  std::atomic<int> elapsedSeconds_{0};
  ElapsedTicker ticker_;
  int row_ = -1;
  std::string videoPath_;
  FileIdentity videoIdentity_;
  std::string accountId_;
  // The account's record or page rules it out for this round: its turn ends.
  bool passOver_ = false;
  // The page step in progress and whether its failure is already recorded.
  const char* step_ = "";
  bool failureRecorded_ = false;
  // What the current attempt's history row needs besides the above.
  AttemptHistory history_;
  std::int64_t attemptStartMs_ = 0;
  std::string title_;
  std::string failureReason_;
  std::string evidencePath_;
  bool publicationRecorded_ = false;
  // The current video's confirm button was pressed without a known outcome.
  bool unconfirmed_ = false;
  bool journalFailed_ = false;
  // Why the account's browser could not be started; empty otherwise.
  std::string startFailure_;
};

// Column 4, the status bar (with the path) and the error log when the
// publication journal cannot be written; the job then ends.
inline constexpr const char* kJournalUnwritableText = "发布记录无法写入";

// Column 4 of an account whose used-video folder is among its videos.
inline constexpr const char* kUsedFolderAmongVideosText = "已使用视频目录在素材目录内，已跳过";

// "点" + list contains "点" + hour + "点": with "1点2点13点14点" the hours 1, 2,
// 13 and 14 are forbidden, 3 is not.
bool isForbiddenHour(const std::string& hourList, int hour);

}  // namespace vidralo
