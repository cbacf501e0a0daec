#pragma once
// The fault report sent to the maker's notification service after a fatal
// error: its title and body, the GBK percent-encoding of both, and the
// signed request header. Texts are UTF-8; the encoding and the digest work on
// their GBK bytes.
#include <functional>
#include <string>
#include <string_view>

namespace vidralo {

struct FaultFacts {
  std::string hostName;        // at most 15 characters, empty when unknown
  std::string executableName;  // without directory
  std::string programDirectory;
  std::string systemName;      // name and version of the operating system
  std::string version;         // of the program
};

// What this machine and program report: host name, executable file name,
// program directory and system name, with the given program version.
FaultFacts currentFaultFacts(const std::string& version);

// "电脑" + host + "发现bug，软件-" + executable + "版本号" + version, with
// every ASCII blank and full-width blank removed.
std::string faultReportTitle(const FaultFacts& facts);

// The report's lines with their fixed indentation, CR LF between them.
std::string faultReportBody(const FaultFacts& facts, int errorNumber, std::string_view errorText);

// The operator's message. `reportSent`: whether a report is to be sent to
// the developers (it is worded as an attempt); without a notification
// service the message does not mention a report.
std::string faultOperatorMessage(int errorNumber, std::string_view errorText, bool reportSent);
inline constexpr std::string_view kFaultMessageTitle = "Vesko软件bug提示";

// GBK bytes: "-", ".", digits and ASCII letters stay, a blank becomes "+", a
// zero byte is dropped, every other byte becomes "%XX" (upper-case hex).
std::string urlEncodeGbk(std::string_view text);

// Whole seconds from 1970-01-01 08:00:00 to the local time now (appClock()),
// followed by the milliseconds in three digits, cut or padded with "0" to
// exactly 10 characters.
std::string secondsTimestamp();

// "sign:" + MD5(GBK of salt + stamp) in lower-case hex + "@" + stamp.
std::string makeSignatureHeader();

// The notification service's address, [hosts] notify of config.ini (an
// http(s) address with port and path); empty when none is configured.
std::string notificationServiceAddress();

// Sends the report as a signed GET to the notification service (recipient,
// title and body percent-encoded alike) and returns
// its answer text; without a configured service nothing is sent and the
// answer is empty.
std::string sendNotification(const std::string& recipient, const std::string& title, const std::string& body);

// The reporter's work after a fatal error: builds the title and body, shows
// the operator message through `showMessage` (which waits for the operator),
// then sends the report to the recipient of [fault] recipient.
void reportFatalError(int errorNumber, const std::string& errorText, const std::string& version,
                      const std::function<void(const std::string& text, const std::string& title)>& showMessage);

}  // namespace vidralo
