#include "online/update_flow.h"

#include <fcntl.h>

#include <QCryptographicHash>
#include <QFile>
#include <QDir>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>

#include "common/app_config.h"
#include "common/program_dir.h"
#include "common/pumped_wait.h"
#include "common/text_rules.h"
#include "log/run_log.h"
#include "online/service_http.h"
#include "shell/desktop_entry.h"

namespace vidralo {
namespace {

namespace fs = std::filesystem;

constexpr int kDownloadWorkers = 2;
// The download goes to a name with an extension: the downloader takes a path
// without one for a folder, and Linux program files usually have none.
constexpr std::string_view kDownloadSuffix = ".download";
constexpr std::uintmax_t kSmallestProgramFile = 20;
constexpr const char* kMirrorStatus[kMirrorCount] = {"华北多线服务器正常", "广州服务器正常", "上海服务器正常"};
constexpr std::string_view kNoMirrorStatus = "服务器异常，尝试使用多线服务器连接";
// What the installation keeps in the program directory, whether it exists
// yet or not: an update must never take one of these names.
constexpr std::string_view kInstallationNames[] = {"config.ini", "data",    "logs",      "huancun",
                                                   "img",        "已使用视频", "Restart.sh", "vidralo.svg"};

// Anything at all under that name, a dangling link included.
bool pathTaken(const std::string& path) {
  std::error_code error;
  return fs::symlink_status(path, error).type() != fs::file_type::not_found;
}

// Renames without replacing: a file that appeared under the name during
// the download is kept.
bool renameToNewName(const std::string& from, const std::string& to) {
  return ::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0;
}

double downloadedPercentage(std::int64_t total, std::int64_t downloaded) {
  return static_cast<double>(downloaded) / static_cast<double>(total) * 100;
}

std::string formatNumber(double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%.13g", value);
  return text;
}

bool isSha256Text(const std::string& text) {
  if (text.size() != 64) return false;
  for (const char c : text)
    if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
  return true;
}

std::string fileSha256(const std::string& path) {
  QFile file(QString::fromStdString(path));
  if (!file.open(QIODevice::ReadOnly)) return {};
  QCryptographicHash hash(QCryptographicHash::Sha256);
  if (!hash.addData(&file)) return {};
  return hash.result().toHex().toStdString();
}

// Read and execute for everyone who may read the file.
void makeExecutable(const std::string& path) {
  std::error_code error;
  const fs::perms readable = fs::status(path, error).permissions();
  fs::perms run = fs::perms::none;
  if ((readable & fs::perms::owner_read) != fs::perms::none) run |= fs::perms::owner_exec;
  if ((readable & fs::perms::group_read) != fs::perms::none) run |= fs::perms::group_exec;
  if ((readable & fs::perms::others_read) != fs::perms::none) run |= fs::perms::others_exec;
  fs::permissions(path, run, fs::perm_options::add, error);
}

}  // namespace

std::string updateProgressText(std::int64_t total, std::int64_t downloaded) {
  return "已下载：" + formatNumber(static_cast<double>(downloaded) / 1024) + "kb/" +
         formatNumber(static_cast<double>(total) / 1024) + "kb\r\n进度：" +
         formatNumber(downloadedPercentage(total, downloaded)) + "%";
}

bool insideDesktopFolder(const std::string& programDirectory) {
  const std::string desktop = desktopFolder();
  // Without a desktop folder of its own the desktop is the home folder,
  // which would take in every program of the user.
  if (desktop.empty() || fs::path(desktop) == fs::path(QDir::homePath().toStdString())) return false;
  const fs::path folder = fs::weakly_canonical(desktop);
  const fs::path program = fs::weakly_canonical(programDirectory);
  const auto [end, unused] = std::mismatch(folder.begin(), folder.end(), program.begin(), program.end());
  return end == folder.end();
}

UpdateFlow::UpdateFlow(ProductInfo product, StartWindowView& view, UpdateServices services)
    : product_(std::move(product)), view_(view), services_(std::move(services)) {}

UpdateFlow::~UpdateFlow() {
  if (task_ > 0 && services_.endDownload) services_.endDownload(task_);
}

void UpdateFlow::runStartupOnlineSteps() {
  writeRunLog("显示版本号" + product_.version);
  view_.setStatusPart(0, "版本v" + product_.version);
  if (checkIsLatest() == "0") runUpdate();
  if (insideDesktopFolder(programDirectory())) view_.setUpdateText(std::string(kDesktopHintText));
  showQuotation(view_);
}

std::string UpdateFlow::checkIsLatest() { return checkLatestVersion(product_) == product_.version ? "1" : "0"; }

std::string UpdateFlow::probeMirrors() {
  for (int mirror = 1; mirror <= kMirrorCount; ++mirror) {
    const std::string base = mirrorBase(mirror);
    if (base.empty() || serviceGetText(base + "test.txt") != "ok") continue;
    view_.setStatusPart(1, kMirrorStatus[mirror - 1]);
    return base;
  }
  view_.setStatusPart(1, std::string(kNoMirrorStatus));
  return mirrorBase(1);
}

bool UpdateFlow::usableFileName(const std::string& fileName) const {
  if (fileName.empty() || fileName.front() == '.' || fileName.find('/') != std::string::npos ||
      fileName.find('\\') != std::string::npos || fileName.find("..") != std::string::npos)
    return false;
  if (fileName == fs::path(executablePath()).filename().string() ||
      std::find(std::begin(kInstallationNames), std::end(kInstallationNames), fileName) != std::end(kInstallationNames))
    return false;
  // The download is renamed over its final name, so neither may exist yet.
  const std::string path = programPath("\\" + fileName);
  return !pathTaken(path) && !pathTaken(path + std::string(kDownloadSuffix));
}

void UpdateFlow::runUpdate() {
  const std::string base = probeMirrors();
  writeRunLog("启动升级程序检查");
  const UpdateIndex index = fetchUpdateIndex(base, product_.productId);
  writeRunLog("升级文件获取到数据");
  writeRunLog("提醒用户升级");
  // Without a readable index there is nothing to offer.
  if (index.version.empty() || index.fileName.empty() || index.address.empty()) return;
  if (!usableFileName(index.fileName) || (!index.sha256.empty() && !isSha256Text(index.sha256))) {
    view_.setUpdateText(std::string(kUpdateFailedText));
    return;
  }
  const std::string question = "发现新版本：v" + index.version + "，更新内容：\r\n" + index.notes;
  if (!view_.dialogs().question(question, "发现新版本，是否更新")) return;

  view_.setUpdateText("开始更新");
  const std::string path = programPath("\\" + index.fileName);
  {
    std::lock_guard lock(mutex_);
    updateFilePath_ = path;
    expectedSha256_ = QByteArray::fromStdString(index.sha256).toLower().toStdString();
  }
  finished_ = false;
  task_ = services_.startDownload(index.address, path + std::string(kDownloadSuffix), kDownloadWorkers,
                                 [this](int task, int state, std::int64_t total, std::int64_t downloaded) {
                                   onUpdateProgress(task, state, total, downloaded);
                                 });
  view_.setOpenCaption("打开：" + index.fileName);
  if (task_ < 0) view_.setUpdateText(std::string(kUpdateFailedText));
}

void UpdateFlow::onUpdateProgress(int, int state, std::int64_t total, std::int64_t downloaded) {
  if (state == kDownloadFailed || total <= 0) {
    view_.setUpdateText(std::string(kUpdateFailedText));
    return;
  }
  view_.setUpdateText(updateProgressText(total, downloaded));
  // The last progress report and the final one both reach 100 %; the file is
  // in place only with the final one, and the steps run once.
  if (state == kDownloadFinished) finishDownload(total, downloaded);
}

void UpdateFlow::finishDownload(std::int64_t total, std::int64_t downloaded) {
  if (finished_.exchange(true)) return;
  if (std::fabs(downloadedPercentage(total, downloaded) - 100) > 1e-7) {
    view_.setUpdateText(std::string(kUpdateFailedText));
    return;
  }
  view_.setUpdateText("更新结束");
  PumpedWait(2, 1);
  const std::string path = updateFilePath();
  const std::string download = path + std::string(kDownloadSuffix);
  if (!renameToNewName(download, path)) {
    std::remove(download.c_str());
    view_.setUpdateText(std::string(kUpdateFailedText));
    return;
  }
  if (!verifyDownloadedFile(path)) {
    view_.setUpdateText(std::string(kUpdateFailedText));
    return;
  }
  makeExecutable(path);
  view_.showOpenButton();
  if (services_.createShortcut) services_.createShortcut(product_.title, path);
}

bool UpdateFlow::verifyDownloadedFile(const std::string& path) {
  std::string expected;
  {
    std::lock_guard lock(mutex_);
    expected = expectedSha256_;
  }
  std::error_code error;
  const std::uintmax_t size = fs::file_size(path, error);
  if (error || size < kSmallestProgramFile) return false;
  if (expected.empty() || fileSha256(path) == expected) return true;
  fs::remove(path, error);  // never leave a file that failed its check to be started
  return false;
}

void UpdateFlow::openLatestVersion() {
  services_.startProgramFile(updateFilePath());
  PumpedWait(2, 1);
  view_.close();
}

std::string UpdateFlow::updateFilePath() const {
  std::lock_guard lock(mutex_);
  return updateFilePath_;
}

void showQuotation(StartWindowView& view) {
  const std::string origin = normalizedOrigin(configValue("hosts", "quotation"));
  const std::string sentence = origin.empty() ? std::string() : serviceGetText(origin + "/?encode=text");
  view.setStatusPart(2, "   " + sentence);
}

std::string checkLatestVersion(const ProductInfo& product) {
  const std::string latest = fetchLatestVersion(product.productId);
  writeRunLog(std::string("版本检查结果1是最新版：") + (latest == product.version ? "1" : "0"));
  return latest;
}

void watchLatestVersion(ControlModel& controls, const ProductInfo& product) {
  constexpr int kSeconds = 1;
  while (PumpedWait(6, kSeconds)) {
    controls.setStatusText(3, "当前：" + product.version + "   最新版：" + fetchLatestVersion(product.productId));
    if (!PumpedWait(60, kSeconds)) return;
  }
}

}  // namespace vidralo
