#include "online/curl_stream.h"

#include "common/stop.h"

namespace vidralo {
namespace {

constexpr long kConnectTimeoutSeconds = 15;

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r' || text.back() == '\n'))
    text.remove_suffix(1);
  return text;
}

}  // namespace

CurlStream::CurlStream() {
  if (!*this) return;
  setLong(CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds);
  speakOnlyHttp();
  setCertificateChecks();
  setCallbacks(&CurlStream::onHeader, &CurlStream::onBody, this);
  setTick(&CurlStream::onTick, this);
  // Larger reads than the default 16 KiB: fewer calls per megabyte, as the
  // curl command line does with its 100 KiB.
  setLong(CURLOPT_BUFFERSIZE, 131072);
}

void CurlStream::setUrl(const std::string& url) { setText(CURLOPT_URL, url); }

void CurlStream::setHeaders(const std::vector<std::string>& lines) {
  CurlHeaderList list;
  for (const std::string& line : lines)
    if (!list.append(line)) break;
  headers_ = std::move(list);
  setList(CURLOPT_HTTPHEADER, headers_);
}

void CurlStream::setUserAgent(const std::string& agent) { setText(CURLOPT_USERAGENT, agent); }

void CurlStream::setFollowRedirects(bool follow) { setLong(CURLOPT_FOLLOWLOCATION, follow ? 1 : 0); }

void CurlStream::setSpeedFloor(long bytesPerSecond, long seconds) {
  setLong(CURLOPT_LOW_SPEED_LIMIT, bytesPerSecond);
  setLong(CURLOPT_LOW_SPEED_TIME, seconds);
}

void CurlStream::setTimeLimit(long seconds) { setLong(CURLOPT_TIMEOUT, seconds); }

CURLcode CurlStream::perform(HeaderLine header, BodyChunk body, KeepGoing keepGoing) {
  header_ = std::move(header);
  body_ = std::move(body);
  keepGoing_ = std::move(keepGoing);
  return CurlHandle::perform();
}

long CurlStream::responseCode() const { return infoLong(CURLINFO_RESPONSE_CODE); }

std::int64_t CurlStream::contentLength() const { return infoOffset(CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, -1); }

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
  return stopRequested() || (stream->keepGoing_ && !stream->keepGoing_()) ? 1 : 0;
}

}  // namespace vidralo
