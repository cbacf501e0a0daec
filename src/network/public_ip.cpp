#include "network/public_ip.h"

#include "common/app_config.h"
#include "common/gbk.h"
#include "http/http_client.h"

namespace vidralo {
namespace {

constexpr const char* kBrowserLine =
    "User-Agent: Mozilla/5.0 (Windows NT 6.1; WOW64) AppleWebKit/537.36 (KHTML, like Gecko) "
    "Chrome/50.0.2661.87 Safari/537.36";

// The text between `start` and the next `end` after it; empty when either is
// missing.
std::string between(const std::string& text, const std::string& start, const std::string& end) {
  const std::size_t from = text.find(start);
  if (from == std::string::npos) return {};
  const std::size_t begin = from + start.size();
  const std::size_t to = text.find(end, begin);
  return to == std::string::npos ? std::string() : text.substr(begin, to - begin);
}

}  // namespace

std::string queryPublicIp() {
  const std::string home = ipLookupUrl();
  if (home.empty()) return {};
  const std::string page = HttpClient::request({.url = home, .extraHeaders = kBrowserLine}).body;
  std::string frame = between(page, "<iframe src=\"", "\"");
  frame = frame.substr(0, frame.find('\0'));
  // The site writes the frame's address scheme-relative ("//host/path").
  if (!frame.starts_with("http")) frame = "http:" + frame;
  const std::string answerBytes = HttpClient::request({.url = frame}).body;
  // The answer page is UTF-8; bytes that are not become U+FFFD.
  const std::string answer = isValidUtf8(answerBytes) ? answerBytes : charsetToUtf8(answerBytes, "UTF-8");
  return between(answer, "您的IP地址是：", "</title>");
}

}  // namespace vidralo
