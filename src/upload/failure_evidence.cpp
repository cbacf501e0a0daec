#include "upload/failure_evidence.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <filesystem>
#include <regex>
#include <set>

#include "common/clock.h"
#include "common/program_dir.h"
#include "log/date_time.h"
#include "log/error_log.h"
#include "log/file_replace.h"
#include "upload/upload_page.h"

namespace fs = std::filesystem;

namespace vidralo {
namespace {

constexpr mode_t kOwnerOnly = 0600;

// Safe in a file name whatever the account id holds.
std::string fileNamePart(const std::string& text) {
  std::string out;
  for (const char c : text) out += std::isalnum(static_cast<unsigned char>(c)) || c == '-' ? c : '_';
  return out.empty() ? "_" : out.substr(0, 64);
}

// Fixed-width, so that names sort in the order they were written.
std::string timeStamp(std::chrono::system_clock::time_point now) {
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
  char millis[8];
  std::snprintf(millis, sizeof millis, "%03lld", static_cast<long long>(ms));
  return formatDateTime(now, "yyyyMMdd-HHmmss") + "-" + millis;
}

// "yyyyMMdd-HHmmss-mmm_" + the account part (+ "-n"): the names this file
// gives, and the only ones its clean-up removes.
bool isEvidenceStem(const std::string& stem) {
  static const std::regex kStem(R"(\d{8}-\d{6}-\d{3}_[A-Za-z0-9_-]+)");
  return std::regex_match(stem, kStem);
}

void removeOldest(const fs::path& folder, std::size_t keep) {
  std::set<std::string> stems;
  std::error_code error;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder, error)) {
    const std::string extension = entry.path().extension().string();
    const std::string stem = entry.path().stem().string();
    if ((extension == ".txt" || extension == ".png") && isEvidenceStem(stem)) stems.insert(stem);
  }
  for (auto stem = stems.begin(); stems.size() > keep; stem = stems.erase(stem)) {
    fs::remove(folder / (*stem + ".txt"), error);
    fs::remove(folder / (*stem + ".png"), error);
  }
}

}  // namespace

std::string writeFailureEvidence(const std::string& folder, const FailureFacts& facts, const std::string& png,
                                 std::size_t keep) {
  if (isSymbolicLink(folder)) {
    appendErrorLog(formatDateTime() + " 失败证据文件夹是符号链接，未使用：" + folder + "\r\n");
    return {};
  }
  std::error_code error;
  fs::create_directories(folder, error);
  fs::permissions(folder, fs::perms::owner_all, error);  // pictures of logged-in pages
  const auto now = appClock().wallNow();
  const std::string base = timeStamp(now) + "_" + fileNamePart(facts.accountId);
  std::string stem = base;
  for (int n = 2; fs::exists(fs::path(folder) / (stem + ".txt"), error); ++n) stem = base + "-" + std::to_string(n);

  const fs::path text = fs::path(folder) / (stem + ".txt");
  const std::string body = "时间：" + formatDateTime(now) + "\n账号：" + facts.accountId + "\n视频：" +
                           facts.videoPath + "\n失败的步骤：" + facts.step + "\n页面地址：" + facts.pageUrl +
                           "\n.video-status：" + facts.status + "\n截图：" +
                           (png.empty() ? "无（页面没有应答）" : stem + ".png") + "\n";
  if (!png.empty()) replaceFileContents((fs::path(folder) / (stem + ".png")).string(), png, kOwnerOnly);
  const bool written = replaceFileContents(text.string(), body, kOwnerOnly);
  removeOldest(folder, keep);
  return written ? text.string() : std::string();
}

std::string recordFailure(BrowserEngine& engine, SessionId session, FailureFacts facts) {
  std::string png;
  if (session != 0 && engine.isConnected(session)) {
    facts.pageUrl = engine.pageUrl(session);
    facts.status = engine.elementText(session, page_selectors::kVideoStatus);
    png = engine.captureScreenshot(session);
  }
  return writeFailureEvidence(programPath("\\logs\\failures"), facts, png);
}

}  // namespace vidralo
