#pragma once
// The four steps that publish one video on the creator upload page of a
// session: hand over the file, settle the title, follow the upload until the
// page reports it complete, press publish. Each step writes its stage into
// the browser window's title. On Stop every step returns at once (false);
// every wait also ends, with false, as soon as the page's browser reads as
// not connected, so a browser that died fails the video at once.
#include <functional>
#include <string>

#include "automation/browser_engine.h"
#include "controls/control_model.h"
#include "upload/titles.h"

namespace vidralo {

namespace page_selectors {
inline constexpr const char* kCancelButton = ".btn.cancel-btn";
inline constexpr const char* kConfirmButton = ".btn.confirm-btn.ant-btn.ant-btn-primary";
inline constexpr const char* kTitleBox = ".textarea";
inline constexpr const char* kVideoStatus = ".video-status";
inline constexpr const char* kPublishButton = ".operate-btn.confirm.active";
}  // namespace page_selectors

inline constexpr const char* kUploadCompleteStatus = "上传完成";

// What confirms a publication, from config.ini: [page] published_sign, a CSS
// selector of an element the page shows (rendered, not hidden, with text) or
// a text the page shows once the platform accepted the video,
// and [page] published_wait, the seconds it may take to appear (15 when
// missing or not a positive number). Read at the moment of publishing.
struct PublishedSign {
  std::string sign;  // empty: the confirm click alone counts
  int waitSeconds = 15;
};
PublishedSign publishedSignSetting();

enum class PublishOutcome {
  Published,
  NotPressed,  // stopped, browser gone or `beforeConfirm` refused before the confirm click
  Refused,     // the sign did not show within its wait
  Unknown,     // confirm pressed, then stopped or the browser went before the sign showed
};

class UploadPage {
 public:
  UploadPage(BrowserEngine& engine, SessionId session) : engine_(engine), session_(session) {}

  // The page's own answer to the file is not examined: true unless stopped.
  bool startUpload(const std::string& videoPath);
  // With 描述_文件名 the file name stays the title (the cancel button is
  // pressed, nothing typed); otherwise the composed title is typed.
  bool fillDetails(ControlModel& controls, TitlePool& pool, int row, const std::string& videoPath);
  // The title the page keeps after fillDetails: the typed one, or the file's
  // base name with 描述_文件名.
  const std::string& title() const { return title_; }
  // Reads the status every 2 seconds until it is exactly "上传完成"; false as
  // soon as `withinTime` says the video ran out of time.
  bool waitUploadComplete(const std::function<bool()>& withinTime);
  // Presses publish and confirms. `beforeConfirm` runs right before the
  // confirm click, from which on the platform may have the video; false
  // from it leaves the button unpressed. Without a published sign the
  // publication counts as done once the confirmation was clicked, and the
  // page's answer is not read; with one it counts only when the sign shows
  // in time (the page left as it is otherwise, so that it shows what went
  // wrong).
  PublishOutcome publish(const std::function<bool()>& beforeConfirm);
  // What follows a publication: the title "已发表" and a reload of the page
  // for the next video.
  bool afterPublish();

 private:
  // Waits `seconds`; false when stopped or when the browser is gone.
  bool wait(double seconds);
  // Published, Refused or Unknown.
  PublishOutcome waitForSign(const PublishedSign& sign);

  BrowserEngine& engine_;
  SessionId session_;
  std::string title_;
};

}  // namespace vidralo
