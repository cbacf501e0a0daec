#include "automation/engine_startup.h"

#include <malloc.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <mutex>

#include "common/json_document.h"
#include "common/program_dir.h"
#include "common/pumped_wait.h"
#include "common/stop.h"
#include "common/text_rules.h"
#include "controls/control_ids.h"
#include "log/date_time.h"
#include "log/error_log.h"
#include "log/log_rotation.h"
#include "log/file_replace.h"

namespace vidralo {
namespace {

constexpr int kTrimIntervalSeconds = 60;
// Past 8 MB the log starts afresh; the five previous files stay, so the
// engine's log takes at most about 48 MB however long the program runs.
constexpr std::uintmax_t kEngineLogLimit = 8u * 1024 * 1024;
constexpr int kEngineLogsKept = 5;

std::string versionMismatchText(const std::string& version) {
  return std::string("\r\nowlform.dll版本不匹配！！！\r\n owlform.dll 版本号：") + version +
         "\r\n模块版本号：" + requiredEngineVersion +
         "\r\n请不要在同一个目录运行多个不同版本的程序（示例程序、元素探测工具等）";
}

std::string noAdministratorEntry() {
  return "  进程ID：" + numberToText(getpid()) + "\r\n运行时间：" + formatDateTime() +
         "\r\n程序未以管理员权限运行，可能会导致部分功能失效，请留意.";
}

bool isFile(const std::string& path) {
  std::error_code error;
  return !path.empty() && std::filesystem::is_regular_file(path, error);
}

}  // namespace

bool runsAsAdministrator() { return geteuid() == 0; }

void endProcessNow() { std::_Exit(0); }

void appendEngineLog(const std::string& line) {
  static std::mutex fileMutex;
  const std::string path = programPath("\\logs\\engine.log");
  std::lock_guard lock(fileMutex);
  std::error_code error;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path(), error);
  // A linked log is neither rotated nor written: it would reach outside the
  // program directory.
  if (isSymbolicLink(path)) return;
  rotateWhenLarger(path, kEngineLogLimit, kEngineLogsKept);
  appendToOwnFile(path, formatDateTime() + ' ' + line + '\n', 0600);
}

EngineStartup::EngineStartup(BrowserEngine& engine, ControlModel& controls, Dialogs& dialogs,
                             StartupEnvironment environment)
    : engine_(engine), controls_(controls), dialogs_(dialogs), environment_(std::move(environment)) {}

EngineStartup::~EngineStartup() = default;  // the jthread requests its stop and joins

void EngineStartup::deployEngine() {
  const std::string version = engine_.version();
  if (version != requiredEngineVersion) {
    dialogs_.message(versionMismatchText(version), "猫头鹰填表");
    environment_.endProgram();
    return;
  }
  engine_.setRunDirectory(programDirectory());
  engine_.setLogCallback(appendEngineLog);
  if (!environment_.isAdministrator()) appendErrorLog(noAdministratorEntry());
}

bool EngineStartup::initEngine(bool manual, SessionId jobSession) {
  if (jobSession > 0) return true;
  std::call_once(trimmerStarted_, [this] {
    trimmer_ = std::jthread([this](std::stop_token token) {
      StopScope scope(token);
      while (PumpedWait(kTrimIntervalSeconds, 1)) {
        malloc_trim(0);
        ++trims_;
      }
    });
  });
  const std::string browserPath = controls_.text(ControlId::编辑框_google);
  const bool ready = engine_.globalInit(isFile(browserPath) ? browserPath : std::string());
  if (!ready) {
    // A check cut short by a stop says nothing about the browser.
    if (!stopRequested()) dialogs_.message("请下载安装谷歌浏览器后再使用");
    return false;
  }
  if (manual) dialogs_.message("初始化成功");
  return true;
}

void EngineStartup::reportBrowserVersion(SessionId session, const std::string& programVersion) {
  const std::string json = engine_.versionJson(session);
  JsonDocument report;
  const bool parsed = !json.empty() && report.loadText(json);
  auto member = [&](const char* name) { return parsed ? report.getText(name) : std::string(); };
  controls_.setCaption(ControlId::标签_版本, "浏览器版本：" + member("Browser") + "\r\nV8引擎版本：" + member("V8-Version") +
                                                 "\r\nUA：" + member("User-Agent") + "\r\n协议版本：" +
                                                 member("Protocol-Version") + "\r\nwebkit版本：" +
                                                 member("WebKit-Version") + "\r\n软件版本：" + programVersion);
}

int EngineStartup::trimCount() const { return trims_; }

}  // namespace vidralo
