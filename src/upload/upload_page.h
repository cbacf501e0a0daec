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
  // Presses publish and confirms. True once the confirmation was clicked:
  // from then on the publication counts as done. The page's answer is not
  // read.
  bool publish();
  // What follows a publication: the title "已发表" and a reload of the page
  // for the next video.
  bool afterPublish();

 private:
  // Waits `seconds`; false when stopped or when the browser is gone.
  bool wait(double seconds);

  BrowserEngine& engine_;
  SessionId session_;
  std::string title_;
};

}  // namespace vidralo
