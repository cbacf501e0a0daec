#pragma once
// Synchronous one-shot HTTP(S) exchanges on libcurl with the program's own
// defaults: default header lines, cookie merging, Basic credentials for the
// server or a proxy, per-phase time limits. Every call opens and closes its
// own connection; calls share no state and may run on any thread.
//
// Texts are UTF-8. Certificates are verified unless config.ini says
// [http] verify_tls = false. Every exchange has an overall time limit (the
// per-phase limit for each of its four phases together) and a limit on the
// body it keeps, and ends within about a second when the calling thread's
// stop (StopScope) is requested.
#include <cstddef>
#include <optional>
#include <string>

namespace vidralo {

// Method codes: 0 GET, 1 POST, 2 HEAD, 3 PUT, 4 OPTIONS, 5 DELETE, 6 TRACE,
// 7 CONNECT; any other code is GET. Code 1 also brings the form Content-Type
// default line.
const char* httpVerb(int method);

// The largest body an exchange keeps unless the caller names another limit:
// the index, notices, quotation, IP-lookup pages and pictures are far
// smaller.
inline constexpr std::size_t kDefaultBodyLimit = 4u << 20;

// Arguments of HttpClient::request; name only what differs from the default.
struct HttpRequestOptions {
  std::string url;
  int method = 0;
  // Sent when postBytes is empty.
  std::string postText;
  // Cookies to send ("a=1; b=2"); a leading "Cookie:" is dropped. Given (even
  // empty), the response's cookies are merged into HttpResponse::cookies.
  std::optional<std::string> cookies;
  // Header lines ("Name: value"), CR LF separated.
  std::string extraHeaders;
  bool noRedirect = false;
  // Body to send; wins over postText when not empty.
  std::string postBytes;
  // "host:port" of an HTTP proxy.
  std::string proxy;
  // Per phase: -1 no limit, below 1 fifteen seconds, else that many seconds.
  int timeoutSeconds = 0;
  // A longer body fails the exchange: nothing comes back.
  std::size_t bodyLimit = kDefaultBodyLimit;
  // Basic credentials, used when both are given ...
  std::string proxyUser;
  std::string proxyPassword;
  // ... at the proxy (1) or at the server (0).
  int credentialTarget = 1;
  bool mergeCookies = true;
  // Add the default header lines the caller's text does not name.
  bool completeHeaders = true;
  // Send each line as "Name: value" with the blanks around both trimmed.
  bool normaliseHeaderNames = true;
};

// Arguments of HttpClient::fetch; name only what differs from the default.
struct HttpFetchOptions {
  // http or https address.
  std::string url;
  int method = 0;
  std::string postText;
  // Cookies to send; the response's cookies are merged into
  // HttpResponse::cookies when not empty.
  std::string cookies;
  std::string extraHeaders;
  bool noRedirect = false;
  // Basic credentials at the server.
  std::string serverUser;
  std::string serverPassword;
  // "host:port" of an HTTP proxy and Basic credentials there.
  std::string proxy;
  std::string proxyUser;
  std::string proxyPassword;
  // Per phase: above 0 that many seconds, else thirty seconds.
  int timeoutSeconds = 0;
  // A longer body fails the exchange with "713 读取数据失败!".
  std::size_t bodyLimit = kDefaultBodyLimit;
  bool mergeCookies = true;
  bool completeHeaders = true;
  std::string postBytes;
  bool normaliseHeaderNames = true;
};

struct HttpResponse {
  // request: the body bytes. fetch: the body as UTF-8 text, converted from
  // the charset the page declares; empty on failure.
  std::string body;
  // fetch: the body bytes as received.
  std::string bodyBytes;
  // The first name=value part of each Set-Cookie line, joined by "; ".
  std::string returnedCookies;
  // The caller's cookies with the returned ones merged in: same name
  // replaced, new name appended, value "deleted" removed. Without merging,
  // the caller's cookies unchanged.
  std::string cookies;
  // The final response's header block, status line first, CR LF separated.
  std::string headers;
  int statusCode = 0;
  // fetch: "200 OK", or a numbered failure text ("712 服务器未响应!").
  std::string statusText;
  // The final response's Location value.
  std::string redirectAddress;
};

class HttpClient {
 public:
  // Reports no failure: an empty body and status code 0 mean nothing came
  // back.
  static HttpResponse request(const HttpRequestOptions& options);
  // A failure leaves the body empty and its numbered text in statusText.
  static HttpResponse fetch(const HttpFetchOptions& options);
};

}  // namespace vidralo
