#pragma once
// Evidence of a video that ended as "上传失败", kept in "\logs\failures": a
// PNG of the page as the browser showed it (when the page still answered)
// and a text file with the time, the account, the video, the step that
// failed, the page's address and the text of ".video-status". Only the
// newest pairs are kept.
#include <cstddef>
#include <string>

#include "automation/browser_engine.h"

namespace vidralo {

inline constexpr std::size_t kFailureEvidenceKept = 200;

struct FailureFacts {
  std::string accountId;
  std::string videoPath;
  std::string step;  // the page step that failed, and why
  std::string pageUrl;
  std::string status;
};

// Writes "<time>_<account>.txt" and, when `png` is not empty, a ".png" of
// the same name into `folder` (created when missing, readable by its owner
// only, as are the files), then removes the oldest pairs beyond `keep`;
// files of other names stay. Returns the text file's path; empty when it
// could not be written. A `folder` that is a symbolic link is not used: it
// is reported in the error log and nothing is written or removed there.
std::string writeFailureEvidence(const std::string& folder, const FailureFacts& facts, const std::string& png,
                                 std::size_t keep = kFailureEvidenceKept);

// Reads the page's address, status text and picture from `session` (each
// within the engine's time limits; nothing from a dead page) and writes
// them with `facts` into the program's "\logs\failures".
std::string recordFailure(BrowserEngine& engine, SessionId session, FailureFacts facts);

}  // namespace vidralo
