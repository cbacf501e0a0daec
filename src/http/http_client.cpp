#include "http/http_client.h"

#include <optional>
#include <vector>

#include "http/cookie_text.h"
#include "http/curl_easy.h"
#include "http/curl_library.h"
#include "http/header_text.h"
#include "http/page_charset.h"

namespace vidralo {
namespace {

constexpr const char* kFormContentType = "Content-Type: application/x-www-form-urlencoded";

// One exchange as both operations describe it to libcurl.
struct Exchange {
  std::string url;
  int method = 0;
  std::string body;
  std::vector<std::string> headerLines;
  std::string cookies;
  std::string proxy;
  // Per phase; 0: no limit.
  long timeLimitSeconds = 0;
  std::size_t bodyLimit = kDefaultBodyLimit;
  bool noRedirect = false;
  std::string serverUser, serverPassword;
  std::string proxyUser, proxyPassword;
};

// Each step names the numbered text fetch reports when it fails.
struct Failure {
  const char* text;
};
constexpr Failure kBadUrl{"701 解析URL地址失败!"};
constexpr Failure kNoSession{"702 创建WinHttp会话失败!"};
constexpr Failure kNoConnection{"703 创建WinHttp连接失败!"};
constexpr Failure kNoRequest{"704 创建WinHttp请求失败!"};
constexpr Failure kNoTimeouts{"705 设置超时时间失败!"};
constexpr Failure kNoCredentials{"707 设置代理凭证失败!"};
constexpr Failure kNoCertificateSetting{"忽略错误/证书错误  失败！"};
constexpr Failure kNoCookieSetting{"708 禁止自动设置Cookies失败!"};
constexpr Failure kNoRedirectSetting{"709 重定向设置失败!"};
constexpr Failure kNoHeaders{"710 设置协议头失败!"};
constexpr Failure kNotSent{"711 发送请求失败!"};
constexpr Failure kNoAnswer{"712 服务器未响应!"};
constexpr Failure kBrokenBody{"713 读取数据失败!"};

// Only http and https addresses with a host are taken.
bool isHttpAddress(const CurlFunctions& curl, const std::string& url) {
  std::unique_ptr<CURLU, decltype(curl.url_cleanup)> parts(curl.url(), curl.url_cleanup);
  if (!parts || curl.url_set(parts.get(), CURLUPART_URL, url.c_str(), 0) != CURLUE_OK) return false;
  char* scheme = nullptr;
  if (curl.url_get(parts.get(), CURLUPART_SCHEME, &scheme, 0) != CURLUE_OK) return false;
  const std::string name = scheme;
  curl.free(scheme);
  return name == "http" || name == "https";
}

bool setMethod(CurlEasy& easy, const Exchange& exchange) {
  const std::string verb = httpVerb(exchange.method);
  if (verb == "HEAD") return easy.setLong(CURLOPT_NOBODY, 1);
  if (verb == "GET" && exchange.body.empty()) return easy.setLong(CURLOPT_HTTPGET, 1);
  // POST keeps curl's own verb so that a 301-303 answer turns it into GET.
  if (verb != "POST" && !easy.setText(CURLOPT_CUSTOMREQUEST, verb)) return false;
  if (verb == "POST" || verb == "PUT" || !exchange.body.empty()) return easy.setBody(exchange.body);
  return true;
}

bool setTimeLimit(CurlEasy& easy, long seconds) {
  // Resolving and connecting fall under curl's connect limit; sending and
  // receiving under a limit on time without progress. A server that drips a
  // byte now and then makes progress for ever: the four phases together get
  // an overall limit.
  constexpr long kPhases = 4;
  return easy.setLong(CURLOPT_CONNECTTIMEOUT, seconds) && easy.setLong(CURLOPT_LOW_SPEED_LIMIT, seconds > 0 ? 1 : 0) &&
         easy.setLong(CURLOPT_LOW_SPEED_TIME, seconds) && easy.setLong(CURLOPT_TIMEOUT, seconds * kPhases);
}

bool setCredentials(CurlEasy& easy, const Exchange& exchange) {
  bool ok = true;
  if (!exchange.serverUser.empty() || !exchange.serverPassword.empty())
    ok = easy.setLong(CURLOPT_HTTPAUTH, CURLAUTH_BASIC) && easy.setText(CURLOPT_USERNAME, exchange.serverUser) &&
         easy.setText(CURLOPT_PASSWORD, exchange.serverPassword);
  // Basic at the proxy is sent with the first request (no challenge round);
  // curl never sends it to the server behind the proxy.
  if (ok && (!exchange.proxyUser.empty() || !exchange.proxyPassword.empty()))
    ok = easy.setLong(CURLOPT_PROXYAUTH, CURLAUTH_BASIC) && easy.setText(CURLOPT_PROXYUSERNAME, exchange.proxyUser) &&
         easy.setText(CURLOPT_PROXYPASSWORD, exchange.proxyPassword);
  return ok;
}

bool setHeaders(CurlEasy& easy, const Exchange& exchange, CurlHeaderList& list) {
  for (const std::string& line : exchange.headerLines)
    if (!list.append(line)) return false;
  // No "Expect: 100-continue" round before large bodies.
  return list.append("Expect:") && easy.setList(CURLOPT_HTTPHEADER, list);
}

// Sets up `easy` for the exchange; the failure of the step that could not be
// set up, if any.
std::optional<Failure> configure(CurlEasy& easy, const Exchange& exchange, CurlHeaderList& list) {
  if (!isHttpAddress(easy.curl(), exchange.url)) return kBadUrl;
  if (!easy.setText(CURLOPT_URL, exchange.url) || !easy.speakOnlyHttp()) return kBadUrl;
  // An empty proxy also keeps curl from taking one from the environment.
  if (!easy.setText(CURLOPT_PROXY, exchange.proxy) || !easy.setLong(CURLOPT_SUPPRESS_CONNECT_HEADERS, 1))
    return kNoSession;
  // A HEAD answer announces the length of a body it does not send.
  const bool keepsBody = std::string_view(httpVerb(exchange.method)) != "HEAD";
  if (!setTimeLimit(easy, exchange.timeLimitSeconds) || (keepsBody && !easy.setBodyLimit(exchange.bodyLimit)))
    return kNoTimeouts;
  // Reason phrases exist in HTTP/1.1 status lines only.
  if (!easy.setLong(CURLOPT_HTTP_VERSION, CURL_HTTP_VERSION_1_1) || !setMethod(easy, exchange)) return kNoRequest;
  if (!setCredentials(easy, exchange)) return kNoCredentials;
  if (!easy.setCertificateChecks()) return kNoCertificateSetting;
  if (!exchange.cookies.empty() && !easy.setText(CURLOPT_COOKIE, exchange.cookies)) return kNoCookieSetting;
  if (!easy.setLong(CURLOPT_FOLLOWLOCATION, exchange.noRedirect ? 0 : 1) || !easy.setLong(CURLOPT_MAXREDIRS, 10))
    return kNoRedirectSetting;
  if (!setHeaders(easy, exchange, list)) return kNoHeaders;
  return std::nullopt;
}

// The step at which a transfer broke off.
Failure transferFailure(const CurlEasy& easy, CURLcode code, const Exchange& exchange) {
  switch (code) {
    case CURLE_UNSUPPORTED_PROTOCOL:
    case CURLE_URL_MALFORMAT:
      return kBadUrl;
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SEND_ERROR:
      return kNotSent;
    default:
      break;
  }
  if (easy.infoOffset(CURLINFO_CONNECT_TIME_T) == 0) return kNoConnection;
  if (easy.infoOffset(CURLINFO_SIZE_UPLOAD_T) < static_cast<long long>(exchange.body.size())) return kNotSent;
  if (easy.headers().empty()) return kNoAnswer;
  return kBrokenBody;
}

std::string statusTextOf(const std::string& headers) {
  const std::size_t lineEnd = headers.find_first_of("\r\n");
  const std::string statusLine = headers.substr(0, lineEnd);
  const std::size_t space = statusLine.find(' ');
  return space == std::string::npos ? std::string() : statusLine.substr(space + 1);
}

// Runs the exchange; on failure the response carries the failure text.
HttpResponse run(const Exchange& exchange, bool mergeReturnedCookies) {
  HttpResponse response;
  response.cookies = exchange.cookies;
  CurlEasy easy;
  if (!easy) {
    response.statusText = kNoSession.text;
    // A libcurl that cannot be loaded says why.
    if (!curlLoadError().empty()) response.statusText += " (" + curlLoadError() + ")";
    return response;
  }
  CurlHeaderList list;
  if (const std::optional<Failure> failure = configure(easy, exchange, list)) {
    response.statusText = failure->text;
    return response;
  }
  if (const CURLcode code = easy.perform(); code != CURLE_OK) {
    response.statusText = transferFailure(easy, code, exchange).text;
    return response;
  }
  response.body = easy.body();
  response.headers = easy.headers();
  response.statusCode = static_cast<int>(easy.infoLong(CURLINFO_RESPONSE_CODE));
  response.statusText = statusTextOf(response.headers);
  const std::vector<std::string> locations = easy.headerValues("Location");
  if (!locations.empty()) response.redirectAddress = locations.front();
  const std::vector<std::string> returned = cookiePairs(easy.headerValues("Set-Cookie"));
  response.returnedCookies = joinCookies(returned);
  if (mergeReturnedCookies) response.cookies = mergeCookies(exchange.cookies, returned);
  return response;
}

// What both operations' options name alike.
template <class Options>
Exchange exchangeFor(const Options& options) {
  Exchange exchange;
  exchange.url = options.url;
  exchange.method = options.method;
  exchange.body = options.postBytes.empty() ? options.postText : options.postBytes;
  exchange.noRedirect = options.noRedirect;
  exchange.proxy = options.proxy;
  exchange.bodyLimit = options.bodyLimit;
  return exchange;
}

std::vector<std::string> headerLinesToSend(const std::vector<std::string>& lines, bool normalise) {
  if (!normalise) return lines;
  std::vector<std::string> normalised;
  for (const std::string& line : lines)
    if (std::string header = normalisedHeaderLine(line); !header.empty()) normalised.push_back(std::move(header));
  return normalised;
}

}  // namespace

const char* httpVerb(int method) {
  static constexpr const char* kVerbs[] = {"GET", "POST", "HEAD", "PUT", "OPTIONS", "DELETE", "TRACE", "CONNECT"};
  return method >= 0 && method < 8 ? kVerbs[method] : kVerbs[0];
}

HttpResponse HttpClient::request(const HttpRequestOptions& options) {
  Exchange exchange = exchangeFor(options);
  exchange.timeLimitSeconds = options.timeoutSeconds == -1 ? 0 : options.timeoutSeconds < 1 ? 15 : options.timeoutSeconds;
  if (!options.proxyUser.empty() && !options.proxyPassword.empty()) {
    if (options.credentialTarget == 1) {
      exchange.proxyUser = options.proxyUser;
      exchange.proxyPassword = options.proxyPassword;
    } else if (options.credentialTarget == 0) {
      exchange.serverUser = options.proxyUser;
      exchange.serverPassword = options.proxyPassword;
    }
  }
  if (options.cookies) exchange.cookies = withoutCookiePrefix(*options.cookies);

  std::vector<std::string> defaults;
  if (options.completeHeaders) {
    defaults = {"Accept: */*", "Referer: " + options.url, "Accept-Language: zh-cn",
                "User-Agent: Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)"};
    if (options.method == 1) defaults.emplace_back(kFormContentType);
  }
  // Keep-alive is asked for whether or not the other defaults are added.
  defaults.emplace_back("Connection: keep-alive");
  exchange.headerLines =
      headerLinesToSend(completedHeaderLines(options.extraHeaders, defaults), options.normaliseHeaderNames);

  HttpResponse response = run(exchange, options.cookies && options.mergeCookies);
  // request reports no failure texts: nothing back means empty and 0.
  if (response.statusCode == 0) response.statusText.clear();
  return response;
}

HttpResponse HttpClient::fetch(const HttpFetchOptions& options) {
  Exchange exchange = exchangeFor(options);
  exchange.timeLimitSeconds = options.timeoutSeconds > 0 ? options.timeoutSeconds : 30;
  exchange.serverUser = options.serverUser;
  exchange.serverPassword = options.serverPassword;
  exchange.proxyUser = options.proxyUser;
  exchange.proxyPassword = options.proxyPassword;
  exchange.cookies = withoutCookiePrefix(options.cookies);

  std::vector<std::string> defaults;
  if (options.completeHeaders) {
    defaults = {"User-Agent: Mozilla/5.0 (compatible; MSIE 9.0; Windows NT 6.1; WOW64; Trident/5.0)",
                "Accept: text/html, application/xhtml+xml, */*", "Accept-Encoding: gbk, GB2312",
                "Accept-Language: zh-cn"};
    if (options.method == 1) defaults.emplace_back(kFormContentType);
    defaults.emplace_back("Cache-Control: no-cache");
    defaults.emplace_back("Connection: keep-alive");
  }
  exchange.headerLines =
      headerLinesToSend(completedHeaderLines(options.extraHeaders, defaults), options.normaliseHeaderNames);

  HttpResponse response = run(exchange, !exchange.cookies.empty() && options.mergeCookies);
  response.bodyBytes = std::move(response.body);
  response.body = pageTextToUtf8(response.bodyBytes);
  return response;
}

}  // namespace vidralo
