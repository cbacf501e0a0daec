#include "online/curl_stream.h"

#include <algorithm>
#include <mutex>

namespace vidralo {
namespace {

constexpr long kConnectTimeoutSeconds = 15;
// A connection that delivers nothing for this long is given up.
constexpr long kStallSeconds = 60;

void initCurlOnce() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r' || text.back() == '\n'))
    text.remove_suffix(1);
  return text;
}

}  // namespace

CurlStream::CurlStream() {
  initCurlOnce();
  handle_.reset(curl_easy_init());
  if (!handle_) return;
  CURL* h = handle_.get();
  // Worker threads: no signals for name-lookup time limits.
  curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds);
  curl_easy_setopt(h, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(h, CURLOPT_LOW_SPEED_TIME, kStallSeconds);
  curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, &CurlStream::onHeader);
  curl_easy_setopt(h, CURLOPT_HEADERDATA, this);
  curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &CurlStream::onBody);
  curl_easy_setopt(h, CURLOPT_WRITEDATA, this);
  curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, &CurlStream::onTick);
  curl_easy_setopt(h, CURLOPT_XFERINFODATA, this);
  curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
  // Larger reads than the default 16 KiB: fewer calls per megabyte, as the
  // curl command line does with its 100 KiB.
  curl_easy_setopt(h, CURLOPT_BUFFERSIZE, 131072L);
}

void CurlStream::setUrl(const std::string& url) { curl_easy_setopt(handle_.get(), CURLOPT_URL, url.c_str()); }

void CurlStream::setHeaders(const std::vector<std::string>& lines) {
  curl_slist* list = nullptr;
  for (const std::string& line : lines) {
    curl_slist* longer = curl_slist_append(list, line.c_str());
    if (!longer) break;
    list = longer;
  }
  curl_easy_setopt(handle_.get(), CURLOPT_HTTPHEADER, list);
  headers_.reset(list);
}

void CurlStream::setUserAgent(const std::string& agent) {
  curl_easy_setopt(handle_.get(), CURLOPT_USERAGENT, agent.c_str());
}

void CurlStream::setFollowRedirects(bool follow) {
  curl_easy_setopt(handle_.get(), CURLOPT_FOLLOWLOCATION, follow ? 1L : 0L);
}

CURLcode CurlStream::perform(HeaderLine header, BodyChunk body, KeepGoing keepGoing) {
  header_ = std::move(header);
  body_ = std::move(body);
  keepGoing_ = std::move(keepGoing);
  return curl_easy_perform(handle_.get());
}

long CurlStream::responseCode() const {
  long code = 0;
  curl_easy_getinfo(handle_.get(), CURLINFO_RESPONSE_CODE, &code);
  return code;
}

std::int64_t CurlStream::contentLength() const {
  curl_off_t length = -1;
  if (curl_easy_getinfo(handle_.get(), CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length) != CURLE_OK) return -1;
  return length;
}

std::size_t CurlStream::onHeader(char* data, std::size_t size, std::size_t count, void* self) {
  auto* stream = static_cast<CurlStream*>(self);
  if (stream->header_) stream->header_(trimmed(std::string_view(data, size * count)));
  return size * count;
}

std::size_t CurlStream::onBody(char* data, std::size_t size, std::size_t count, void* self) {
  auto* stream = static_cast<CurlStream*>(self);
  if (stream->body_ && !stream->body_(data, size * count)) return 0;
  return size * count;
}

int CurlStream::onTick(void* self, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  auto* stream = static_cast<CurlStream*>(self);
  return stream->keepGoing_ && !stream->keepGoing_() ? 1 : 0;
}

std::string headerValue(std::string_view line, std::string_view name) {
  if (line.size() <= name.size() || line[name.size()] != ':') return {};
  const bool same = std::equal(name.begin(), name.end(), line.begin(), [](char a, char b) {
    return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
  });
  return same ? std::string(trimmed(line.substr(name.size() + 1))) : std::string();
}

}  // namespace vidralo
