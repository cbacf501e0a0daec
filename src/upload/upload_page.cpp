#include "upload/upload_page.h"

#include <algorithm>

#include "automation/page_readiness.h"
#include "common/app_config.h"
#include "common/clock.h"
#include "common/pumped_wait.h"
#include "common/stop.h"
#include "common/text_rules.h"
#include "upload/file_ops.h"

namespace vidralo {

using namespace page_selectors;

namespace {
// How often a wait looks whether the browser is still there.
constexpr double kConnectionCheckSeconds = 0.2;
constexpr int kDefaultSignWaitSeconds = 15;
constexpr double kSignPollSeconds = 0.5;
}  // namespace

PublishedSign publishedSignSetting() {
  const int wait = toInteger(configValue("page", "published_wait"));
  return {configValue("page", "published_sign"), wait > 0 ? wait : kDefaultSignWaitSeconds};
}

bool UploadPage::wait(double seconds) {
  return PumpedWaitChecking(seconds * 1000, kConnectionCheckSeconds * 1000, [this] { return engine_.isConnected(session_); });
}

bool UploadPage::startUpload(const std::string& videoPath) {
  engine_.setWindowTitle(session_, "开始上传");
  engine_.uploadFile(session_, videoPath);
  return wait(1);
}

bool UploadPage::fillDetails(ControlModel& controls, TitlePool& pool, int row, const std::string& videoPath) {
  engine_.setWindowTitle(session_, "设置标题");
  if (controls.checked(ControlId::描述_文件名)) {
    engine_.click(session_, kCancelButton, false);
    title_ = baseNameOf(videoPath);
  } else {
    engine_.click(session_, kConfirmButton, false);
    title_ = composeTitle(controls, pool, row, videoPath);
    if (stopRequested()) return false;
    // An empty title types nothing.
    if (!title_.empty()) engine_.input(session_, kTitleBox, title_);
  }
  if (!wait(1)) return false;
  engine_.setWindowTitle(session_, "标题结束");
  return true;
}

bool UploadPage::waitUploadComplete(const std::function<bool()>& withinTime) {
  if (!wait(2)) return false;
  while (true) {
    const std::string status = engine_.elementText(session_, kVideoStatus);
    if (!wait(2)) return false;
    engine_.setWindowTitle(session_, "当前进度：" + status);
    if (!withinTime()) return false;
    pumpPendingMessages();
    if (status == kUploadCompleteStatus) break;
  }
  return wait(2);
}

PublishOutcome UploadPage::publish(const std::function<bool()>& beforeConfirm) {
  engine_.setWindowTitle(session_, "开始发布");
  engine_.click(session_, kPublishButton, true);
  if (!wait(1) || !beforeConfirm()) return PublishOutcome::NotPressed;
  engine_.click(session_, kConfirmButton, false);
  const PublishedSign sign = publishedSignSetting();
  return sign.sign.empty() ? PublishOutcome::Published : waitForSign(sign);
}

bool UploadPage::afterPublish() {
  if (!wait(1)) return false;
  engine_.setWindowTitle(session_, "已发表");
  // The reload returns once the fresh document is there; that time counts
  // toward the second the new page is given, instead of adding to it.
  const std::int64_t reloadStart = appClock().tickMs();
  engine_.refresh(session_);
  const std::int64_t reloadMs = appClock().tickMs() - reloadStart;
  return wait(std::max<double>(0, 1.0 - static_cast<double>(reloadMs) / 1000));
}

// Pages keep hidden toasts around, so only a sign the page shows counts.
PublishOutcome UploadPage::waitForSign(const PublishedSign& sign) {
  const std::int64_t deadline = appClock().tickMs() + std::int64_t{sign.waitSeconds} * 1000;
  while (!stopRequested()) {
    if (signShows(engine_, session_, sign.sign)) return PublishOutcome::Published;
    if (appClock().tickMs() >= deadline) {
      engine_.setWindowTitle(session_, "未见发表成功标志");
      return PublishOutcome::Refused;
    }
    if (!wait(kSignPollSeconds)) break;
  }
  return PublishOutcome::Unknown;
}

}  // namespace vidralo
