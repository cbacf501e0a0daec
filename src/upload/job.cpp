#include "upload/job.h"

#include <algorithm>

#include "common/account_id.h"
#include "common/clock.h"
#include "common/pumped_wait.h"
#include "common/random_draw.h"
#include "common/stop.h"
#include "common/text_rules.h"
#include "log/date_time.h"
#include "log/error_log.h"
#include "upload/failure_evidence.h"
#include "upload/file_ops.h"
#include "upload/upload_page.h"
#include "upload/video_selection.h"

namespace vidralo {
namespace {

constexpr double kStepPauseMs = 900;
// Starts of the account's browser before the video fails.
constexpr int kBrowserStartTries = 3;
// The status of the row whose video a Stop interrupted.
constexpr const char* kStoppedText = "已停止";

std::string countdownText(int seconds) { return "延时" + numberToText(seconds) + "秒后继续"; }

// The row's status when the account is passed over for the rest of the round.
const char* passedOverText(VideoOutcome outcome) {
  return outcome == VideoOutcome::NotLoggedIn ? "未登录，已跳过" : "页面未就绪，已跳过";
}

const char* pageStateReason(VideoOutcome outcome) {
  return outcome == VideoOutcome::NotLoggedIn ? "未登录" : "页面未就绪";
}

// 编辑框_单账号上传 when 选择框_切换账号 is checked, else 1.
int videosPerTurn(const ControlModel& controls) {
  return controls.checked(ControlId::选择框_切换账号) ? toInteger(controls.text(ControlId::编辑框_单账号上传)) : 1;
}

}  // namespace

bool isForbiddenHour(const std::string& hourList, int hour) {
  return ("点" + hourList).find("点" + numberToText(hour) + "点") != std::string::npos;
}

Job::Job(JobContext context, int abandonLimit)
    : context_(std::move(context)),
      controls_(context_.controls),
      abandonLimit_(abandonLimit),
      ticker_(controls_, elapsedSeconds_, abandonLimit),
      history_(controls_) {}

int Job::setting(ControlId id) const { return toInteger(controls_.text(id)); }

bool Job::checked(ControlId id) const { return controls_.checked(id); }

void Job::showInBrowserTitle(const std::string& text) {
  context_.engine.setWindowTitle(context_.session.sessionId(), text);
}

void Job::run() {
  // Stop ends the ticker too, even while the job thread is still inside an
  // engine call.
  std::stop_callback endTicker(currentStopToken(), [this] { ticker_.requestStop(); });
  context_.session.beginRun();
  while (runRound()) {
  }
}

bool Job::runRound() {
  const int count = controls_.rowCount();
  controls_.setCaption(ControlId::分组框6, "账号列表（右键点击操作）当前有账号：" + numberToText(count) + "个");
  const int perTurn = videosPerTurn(controls_);
  controls_.setCaption(ControlId::分组框_控制, "当前设置，每个账号发布" + numberToText(perTurn) + "个视频后切换");
  if (setting(ControlId::编辑框_账号序列) > count) controls_.setText(ControlId::编辑框_账号序列, "1");
  for (int position = 1; position <= count; ++position) {
    if (setting(ControlId::编辑框_账号序列) > position) continue;
    if (!workOnAccount(position, perTurn)) return false;
  }
  if (stopRequested() || !checked(ControlId::选择框_自动循环)) return false;
  return waitBeforeNextRound(count);
}

bool Job::waitBeforeNextRound(int accountCount) {
  const int seconds = setting(ControlId::编辑框_循环间隔);
  for (int k = 1; k <= seconds; ++k) {
    controls_.setCaption(ControlId::分组框6, "本轮结束，等待" + numberToText(seconds - k) + "秒继续下一轮");
    if (!PumpedWait(1, 1)) return false;
    pumpPendingMessages();
  }
  // An empty list without a loop wait would otherwise spin through rounds
  // as fast as the processor allows, flooding the window with captions.
  if (accountCount == 0 && seconds <= 0 && !PumpedWait(1, 1)) return false;
  return !stopRequested();
}

bool Job::workOnAccount(int position, int perTurn) {
  const int previous = context_.jobRow.load();
  if (previous >= 0) controls_.setCell(previous, 列_今天已发, "");
  row_ = position - 1;
  context_.jobRow = row_;
  int done = toInteger(controls_.cell(row_, 列_今天已发));
  passOver_ = false;
  if (const std::string refusal = refusalFor(controls_.cell(row_, 列_账号标识), videoFolder()); !refusal.empty()) {
    controls_.setCell(row_, 列_状态, refusal);
    passOver_ = true;
  }
  for (int repetition = 0; repetition < perTurn; ++repetition) {
    if (perTurn - done < 1 || passOver_) break;
    if (!doVideo(done)) return false;
  }
  context_.session.closeSession();
  if (stopRequested()) return false;
  controls_.setText(ControlId::编辑框_账号序列, numberToText(position + 1));
  if (!PumpedWait(kStepPauseMs)) return false;
  if (checked(ControlId::选择框_换ip) && context_.changeIp) context_.changeIp();
  if (checked(ControlId::选择框_2账号间隔) && !PumpedWait(setting(ControlId::编辑框_账号间隔), 1)) return false;
  pumpPendingMessages();
  return !stopRequested();
}

std::string Job::refusalFor(const std::string& accountId, const std::string& folder) const {
  // An empty id would work under the log-in default's profile, an unsafe one
  // outside the profile folder: either way another account's log-in.
  if (!isSafeAccountId(accountId)) return "账号标识无效，已跳过";
  if (context_.recordUnreadable && context_.recordUnreadable(accountId)) return "记录无法读取，已跳过";
  if (usedFolderIsAmongVideos(controls_, folder)) return kUsedFolderAmongVideosText;
  return {};
}

std::string Job::videoFolder() const {
  const std::string folder = controls_.cell(row_, 列_素材目录);
  return pathExists(folder) ? folder : controls_.text(ControlId::编辑框_视频素材目录);
}

bool Job::doVideo(int& done) {
  videoPath_ = pickVideo(controls_, videoFolder(), row_);
  if (stopRequested()) return false;
  accountId_ = controls_.cell(row_, 列_账号标识);
  attemptStartMs_ = appClock().tickMs();
  title_.clear();
  step_ = "";
  if (videoPath_.empty() || !regularFileIdentity(videoPath_, videoIdentity_)) {
    reportOutcome(VideoOutcome::Skipped);
    videoIdentity_ = {};
    recordAttempt(AttemptOutcome::Skipped, videoPath_.empty() ? "没有视频" : "不是可用的视频文件");
    return PumpedWait(kStepPauseMs) && PumpedWait(kStepPauseMs);
  }

  elapsedSeconds_ = 0;
  failureRecorded_ = false;
  failureReason_.clear();
  evidencePath_.clear();
  publicationRecorded_ = false;
  unconfirmed_ = false;
  startFailure_.clear();
  ticker_.start(row_);
  controls_.setCell(row_, 列_正在发布, videoPath_);
  prepareCover(controls_, videoPath_);
  forbiddenHoursGate();
  const VideoOutcome outcome = stopRequested() ? VideoOutcome::Failed : uploadOneVideo();
  ticker_.stop();
  if (journalFailed_) {
    stopForJournal();
    return false;
  }
  if (stopRequested()) {
    // The ticker has ended: nothing overwrites this after the job is gone.
    controls_.setCell(row_, 列_状态, kStoppedText);
    return false;
  }

  reportOutcome(outcome);
  if (outcome == VideoOutcome::NotLoggedIn || outcome == VideoOutcome::PageNotReady) {
    // Nothing was handed to the page: the video stays, and the account's
    // other videos would meet the same page.
    recordFailureOnce(pageStateReason(outcome));
    recordAttempt(outcome == VideoOutcome::NotLoggedIn ? AttemptOutcome::NotLoggedIn : AttemptOutcome::PageNotReady,
                  pageStateReason(outcome));
    controls_.setCell(row_, 列_状态, passedOverText(outcome));
    passOver_ = true;
  } else if (outcome != VideoOutcome::Published) {
    recordFailureOnce(startFailure_.empty() ? "步骤失败" : startFailure_);
    // A publication that ran out of time after the confirm click has its row
    // already; it is not a failure of the platform.
    if (!publicationRecorded_)
      recordAttempt(unconfirmed_ ? AttemptOutcome::Unknown : AttemptOutcome::Failed, failureReason_);
    // A page that still answers (a publication the platform refused) starts
    // the next attempt afresh: a file input that already holds the same file
    // would not take it again.
    if (const SessionId session = context_.session.sessionId(); session != 0 && context_.engine.isConnected(session))
      context_.engine.refresh(session);
    // The video stays in its folder; it may be picked again unless its
    // confirm button was pressed.
    controls_.setCell(row_, 列_状态, unconfirmed_           ? std::string(kUnconfirmedText)
                                     : startFailure_.empty() ? std::string("上传失败")
                                                             : "上传失败（浏览器无法启动：" + startFailure_ + "）");
  } else {
    if (!pauseAfterVideo()) return false;
    ++done;
    controls_.setCell(row_, 列_今天已发, numberToText(done));
  }
  return PumpedWait(kStepPauseMs);
}

void Job::reportOutcome(VideoOutcome outcome) {
  context_.summary.count(accountId_, controls_.cell(row_, 列_昵称), outcome);
}

bool Job::pauseAfterVideo() {
  const int low = std::max(0, setting(ControlId::编辑框_视频间隔));
  const int high = std::max(0, setting(ControlId::编辑框_视频间隔1));
  const int pause = randomBetween(low, high);
  controls_.setCell(row_, 列_状态, countdownText(pause));
  // The journal keeps a video that stays from being published again; the
  // row says why it is still there.
  const bool disposed = disposeVideo(controls_, {videoPath_, videoIdentity_});
  for (int k = 1; k <= pause; ++k) {
    controls_.setCell(row_, 列_状态, countdownText(pause - k));
    showInBrowserTitle(countdownText(pause - k));
    if (!PumpedWait(1, 1)) {
      controls_.setCell(row_, 列_状态, disposed ? kStoppedText : disposalFailedText(controls_));
      return false;
    }
    pumpPendingMessages();
  }
  controls_.setCell(row_, 列_状态, disposed ? "" : disposalFailedText(controls_));
  return true;
}

VideoOutcome Job::uploadOneVideo() {
  step_ = "ensureSession";
  const PageState shown = openBrowser();
  if (shown == PageState::NotLoggedIn) return VideoOutcome::NotLoggedIn;
  if (shown == PageState::NotReady) return VideoOutcome::PageNotReady;
  if (context_.session.sessionId() == 0 || !PumpedWait(1000)) return VideoOutcome::Failed;
  UploadPage page(context_.engine, context_.session.sessionId());
  step_ = "startUpload";
  if (!page.startUpload(videoPath_)) return VideoOutcome::Failed;
  step_ = "fillDetails";
  if (!page.fillDetails(controls_, context_.titles, row_, videoPath_)) return VideoOutcome::Failed;
  title_ = page.title();
  if (!withinTimeLimit()) return VideoOutcome::Failed;
  step_ = "waitUploadComplete";
  if (!page.waitUploadComplete([this] { return withinTimeLimit(); })) {
    ticker_.stop();
    elapsedSeconds_ = 0;
    return VideoOutcome::Failed;
  }
  if (!withinTimeLimit()) return VideoOutcome::Failed;
  step_ = "publish";
  switch (page.publish([&] { return journal(JournalState::Attempt, page.title()); })) {
    case PublishOutcome::Published:
      break;
    case PublishOutcome::Refused:
      // The page answered: the video was not published and may go again.
      journal(JournalState::Withdrawn, page.title());
      return VideoOutcome::Failed;
    case PublishOutcome::Unknown:
      unconfirmed_ = true;
      return VideoOutcome::Failed;
    case PublishOutcome::NotPressed:
      return VideoOutcome::Failed;
  }
  // Without this line the attempt stays, and the video waits for a look.
  if (!journal(JournalState::Published, page.title())) return VideoOutcome::Failed;
  title_ = page.title();
  publicationRecorded_ = true;
  recordAttempt(AttemptOutcome::Published);
  // The publication is done and recorded: a stop here only skips the rest.
  page.afterPublish();
  return withinTimeLimit() ? VideoOutcome::Published : VideoOutcome::Failed;
}

void Job::recordAttempt(AttemptOutcome outcome, std::string reason) {
  const bool failed = outcome != AttemptOutcome::Published && outcome != AttemptOutcome::Skipped;
  history_.record({.time = formatDateTime(),
                   .accountId = accountId_,
                   .nickname = controls_.cell(row_, 列_昵称),
                   .videoPath = videoPath_,
                   .videoSize = videoIdentity_.size,
                   .videoMtime = videoIdentity_.modifiedNs / 1'000'000'000,
                   .title = title_,
                   .outcome = outcome,
                   .step = failed ? step_ : "",
                   .reason = std::move(reason),
                   .evidencePath = failed ? evidencePath_ : "",
                   .seconds = (appClock().tickMs() - attemptStartMs_) / 1000});
}

PageState Job::openBrowser() {
  for (int attempt = 1; attempt <= kBrowserStartTries; ++attempt) {
    const PageState shown = context_.session.ensureSession(row_, accountId_);
    if (context_.session.sessionId() != 0) return shown;
    if (!PumpedWait(2000) || !withinTimeLimit()) return PageState::Gone;
  }
  // A profile held by a browser started by hand, say: it will not free
  // itself, and waiting would keep every later account from its turn.
  startFailure_ = context_.engine.lastStartFailure();
  if (startFailure_.empty()) startFailure_ = "原因不明";
  return PageState::Gone;
}

bool Job::journal(JournalState state, const std::string& title) {
  if (PublicationJournal().record(
          {formatDateTime(), accountId_, {videoPath_, videoIdentity_}, title, state}))
    return true;
  journalFailed_ = true;
  return false;
}

void Job::stopForJournal() {
  const std::string message = std::string(kJournalUnwritableText) + "：" + PublicationJournal().path();
  controls_.setCell(row_, 列_状态, kJournalUnwritableText);
  controls_.setStatusText(1, message);
  appendErrorLog(formatDateTime() + " " + message + "\r\n");
  context_.journalUnwritable = true;
}

void Job::recordFailureOnce(const std::string& reason) {
  if (failureRecorded_ || stopRequested()) return;
  failureRecorded_ = true;
  failureReason_ = reason;
  evidencePath_ = recordFailure(context_.engine, context_.session.sessionId(),
                                {accountId_, videoPath_, std::string(step_) + "（" + reason + "）"});
  if (!evidencePath_.empty() && context_.evidenceWritten) context_.evidenceWritten(evidencePath_);
}

bool Job::withinTimeLimit() {
  if (abandonLimit_ == 0) return true;
  if (elapsedSeconds_ <= abandonLimit_) return true;
  // The page is pictured before its browser goes.
  recordFailureOnce("超过放弃秒");
  // The ticker ends first, so that it cannot count the reset time again.
  ticker_.stop();
  elapsedSeconds_ = 0;
  // Abandoned: the next video of this account starts a fresh browser.
  context_.session.closeSession();
  return false;
}

void Job::forbiddenHoursGate() {
  if (!checked(ControlId::选择框_禁止指定时间)) return;
  // The list is read again at every check, so an edit counts within a minute.
  while (isForbiddenHour(controls_.text(ControlId::编辑框_禁止指定时间), localNow().tm_hour)) {
    showInBrowserTitle("现在是禁用时间段");
    if (!PumpedWait(1, 2)) return;
  }
}

}  // namespace vidralo
