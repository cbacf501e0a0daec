#include "online/fault_report.h"

#include <unistd.h>

#include <QByteArray>
#include <QCryptographicHash>
#include <QString>
#include <QSysInfo>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>

#include "common/app_config.h"
#include "common/clock.h"
#include "common/gbk.h"
#include "common/program_dir.h"
#include "common/text_rules.h"
#include "online/service_http.h"

namespace vidralo {
namespace {

constexpr std::string_view kSignatureSalt = "qorbanext41728m%%&&508";
constexpr std::string_view kFullWidthBlank = "\u3000";
// The report names the machine as a 16-byte host-name buffer holds it.
constexpr std::size_t kHostNameLimit = 15;
// Local time is counted from 1970-01-01 08:00:00, the service's own epoch.
constexpr std::int64_t kServiceEpochOffset = 8 * 3600;

std::string hostName() {
  char name[256] = {};
  if (gethostname(name, sizeof name - 1) != 0) return {};
  const std::string text = name;
  return text.size() <= kHostNameLimit ? text : std::string();
}

bool isUnreserved(unsigned char byte) {
  return byte == '-' || byte == '.' || (byte >= '0' && byte <= '9') || (byte >= 'A' && byte <= 'Z') ||
         (byte >= 'a' && byte <= 'z');
}

}  // namespace

FaultFacts currentFaultFacts(const std::string& version) {
  return {hostName(), std::filesystem::path(executablePath()).filename().string(), programDirectory(), QSysInfo::prettyProductName().toStdString(), version};
}

std::string faultReportTitle(const FaultFacts& facts) {
  const std::string title =
      "电脑" + facts.hostName + "发现bug，软件-" + facts.executableName + "版本号" + facts.version;
  return replaceAll(replaceAll(title, " ", ""), kFullWidthBlank, "");
}

std::string faultReportBody(const FaultFacts& facts, int errorNumber, std::string_view errorText) {
  return "所属软件：" + facts.executableName + "\r\n    软件运行路径：" + facts.programDirectory +
         "\r\n   操作系统：" + facts.systemName + "\r\n   软件错误代码：" + numberToText(errorNumber) +
         "\r\n   错误信息：" + std::string(errorText) + "\r\n其他信息：" +
         "     Vesko软件 错误信息和bug通知系统。\r\n";
}

std::string faultOperatorMessage(int errorNumber, std::string_view errorText, bool reportSent) {
  // The message comes before the request, whose outcome it cannot know.
  return std::string(reportSent ? "软件发生致命错误，将尝试上报开发人员加紧修复bug" : "软件发生致命错误") +
         "\r\n   软件错误代码：" + numberToText(errorNumber) + "\r\n   错误信息：" + std::string(errorText);
}

std::string urlEncodeGbk(std::string_view text) {
  std::string encoded;
  for (const char character : utf8ToGbk(text)) {
    const auto byte = static_cast<unsigned char>(character);
    if (byte == 0) continue;
    if (isUnreserved(byte)) {
      encoded += character;
    } else if (byte == ' ') {
      encoded += '+';
    } else {
      char escaped[4];
      std::snprintf(escaped, sizeof escaped, "%%%02X", byte);
      encoded += escaped;
    }
  }
  return encoded;
}

std::string secondsTimestamp() {
  using namespace std::chrono;
  const system_clock::time_point now = appClock().wallNow();
  const std::time_t unixSeconds = system_clock::to_time_t(now);
  std::tm local{};
  localtime_r(&unixSeconds, &local);
  const auto millis = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
  char millisText[8];
  std::snprintf(millisText, sizeof millisText, "%03d", static_cast<int>(millis));
  const std::int64_t seconds = static_cast<std::int64_t>(unixSeconds) + local.tm_gmtoff - kServiceEpochOffset;
  std::string stamp = (numberToText(seconds) + millisText).substr(0, 10);
  stamp.resize(10, '0');
  return stamp;
}

std::string makeSignatureHeader() {
  const std::string stamp = secondsTimestamp();
  const std::string salted = utf8ToGbk(std::string(kSignatureSalt) + stamp);
  const QByteArray digest =
      QCryptographicHash::hash(QByteArray::fromStdString(salted), QCryptographicHash::Md5).toHex();
  return "sign:" + digest.toStdString() + "@" + stamp;
}

std::string notificationServiceAddress() {
  return configuredServiceAddress("notify");
}

std::string sendNotification(const std::string& recipient, const std::string& title, const std::string& body) {
  const std::string service = notificationServiceAddress();
  if (service.empty()) return {};
  const std::string url = service + "?mubiao=" + urlEncodeGbk(recipient) + "&title=" + urlEncodeGbk(title) +
                          "&body=" + urlEncodeGbk(body) + "&sa=1";
  return serviceGetText(url, makeSignatureHeader());
}

void reportFatalError(int errorNumber, const std::string& errorText, const std::string& version,
                      const std::function<void(const std::string& text, const std::string& title)>& showMessage) {
  const FaultFacts facts = currentFaultFacts(version);
  const std::string title = faultReportTitle(facts);
  const std::string body = faultReportBody(facts, errorNumber, errorText);
  const bool sending = !notificationServiceAddress().empty();
  showMessage(faultOperatorMessage(errorNumber, errorText, sending), std::string(kFaultMessageTitle));
  if (sending) sendNotification(configValue("fault", "recipient"), title, body);
}

}  // namespace vidralo
