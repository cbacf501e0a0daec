#pragma once
// The version check and self-update of the start window, and the version
// line of the main window. The new version is saved beside the running
// program under the index's file name; the running executable is never
// replaced.
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

#include "controls/control_model.h"
#include "online/block_downloader.h"
#include "online/start_window_view.h"
#include "online/update_servers.h"

namespace vidralo {

struct UpdateServices {
  // Starts a download of `url` into `path` with at most `workers`
  // connections; its task number, or -1 when it could not be started.
  std::function<int(const std::string& url, const std::string& path, int workers, DownloadReport progress)>
      startDownload;
  // Stops a task and waits until it makes no more reports.
  std::function<void(int task)> endDownload;
  // Points the desktop entry `linkName` at `target`.
  std::function<bool(const std::string& linkName, const std::string& target)> createShortcut;
  // Starts a program file without waiting for it.
  std::function<bool(const std::string& path)> startProgramFile;
};

inline constexpr std::string_view kUpdateFailedText =
    "抱歉，自动更新失败，请到官网下载，下载后，把文件复制到当前目录";
inline constexpr std::string_view kDesktopHintText = "建议不要把软件放在C盘或者桌面，可以避免80%的软件异常";

class UpdateFlow {
 public:
  UpdateFlow(ProductInfo product, StartWindowView& view, UpdateServices services);
  // Ends a download still running, so that it reports to nobody.
  ~UpdateFlow();
  UpdateFlow(const UpdateFlow&) = delete;
  UpdateFlow& operator=(const UpdateFlow&) = delete;

  // The start window's background sequence: version, check, update, drive
  // hint, quotation, with their run-log lines.
  void runStartupOnlineSteps();
  // "1" when the primary mirror's version equals the program's, else "0";
  // written to the run log as checkLatestVersion does.
  std::string checkIsLatest();
  // Mirror probe, index, question, start of the download.
  void runUpdate();
  void onUpdateProgress(int task, int state, std::int64_t total, std::int64_t downloaded);
  // Starts the downloaded file, waits 2 s, closes the start window.
  void openLatestVersion();

  std::string updateFilePath() const;

 private:
  std::string probeMirrors();
  // A plain file name beside the program that is free and names none of
  // the installation's own files (the program itself, config.ini, data...).
  bool usableFileName(const std::string& fileName) const;
  void finishDownload(std::int64_t total, std::int64_t downloaded);
  // At least 20 bytes and, when the index gave one, the SHA-256; a file
  // failing the checksum is deleted.
  bool verifyDownloadedFile(const std::string& path);

  ProductInfo product_;
  StartWindowView& view_;
  UpdateServices services_;
  mutable std::mutex mutex_;
  std::string updateFilePath_;
  std::string expectedSha256_;
  std::atomic<bool> finished_{false};
  std::atomic<int> task_{-1};
};

// The progress text: "已下载：" + kb + "kb/" + kb + "kb\r\n进度：" + percent + "%",
// each number written with "%.13g".
std::string updateProgressText(std::int64_t total, std::int64_t downloaded);

// True when `programDirectory` lies inside the user's desktop folder.
bool insideDesktopFolder(const std::string& programDirectory);

// The quotation into part 2 of the start window's status bar: three blanks
// and the sentence of [hosts] quotation; three blanks alone when there is
// none.
void showQuotation(StartWindowView& view);

// Asks the primary mirror for the latest version and writes
// "版本检查结果1是最新版：" with 1 or 0 to the run log; the latest version,
// empty when the fetch failed.
std::string checkLatestVersion(const ProductInfo& product);

// The main window's version line in status bar part 3, about once a minute,
// until the calling thread's stop is requested.
void watchLatestVersion(ControlModel& controls, const ProductInfo& product);

}  // namespace vidralo
