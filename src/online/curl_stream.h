#pragma once
// One libcurl easy handle whose answer is handed over as it arrives: header
// lines and body chunks go to callbacks, so nothing is buffered here.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "http/curl_easy.h"

namespace vidralo {

// Only http and https are spoken, certificates are checked as config.ini
// says, and a stop requested for the calling thread ends the transfer.
class CurlStream : private CurlHandle {
 public:
  // A header line without its line end; a status line ("HTTP/...") starts
  // the header block of each answer (redirects and interim answers included).
  using HeaderLine = std::function<void(std::string_view line)>;
  // Body bytes as they arrive; false ends the transfer (CURLE_WRITE_ERROR).
  using BodyChunk = std::function<bool(const char* data, std::size_t size)>;
  // Called often while the transfer runs, also while it waits for the
  // network; false ends it (CURLE_ABORTED_BY_CALLBACK).
  using KeepGoing = std::function<bool()>;

  CurlStream();
  CurlStream(const CurlStream&) = delete;
  CurlStream& operator=(const CurlStream&) = delete;
  using CurlHandle::operator bool;

  void setUrl(const std::string& url);
  // Replaces every extra request header line.
  void setHeaders(const std::vector<std::string>& lines);
  void setUserAgent(const std::string& agent);
  void setFollowRedirects(bool follow);
  // A transfer that moves fewer than `bytesPerSecond` for `seconds` on end
  // is given up (a connection that drips).
  void setSpeedFloor(long bytesPerSecond, long seconds);
  // The whole transfer's limit; 0: none.
  void setTimeLimit(long seconds);

  CURLcode perform(HeaderLine header, BodyChunk body, KeepGoing keepGoing = {});

  long responseCode() const;
  // The answer's Content-Length; -1 when it gave none.
  std::int64_t contentLength() const;

 private:
  static std::size_t onHeader(char* data, std::size_t size, std::size_t count, void* self);
  static std::size_t onBody(char* data, std::size_t size, std::size_t count, void* self);
  static int onTick(void* self, curl_off_t, curl_off_t, curl_off_t, curl_off_t);

  CurlHeaderList headers_;
  HeaderLine header_;
  BodyChunk body_;
  KeepGoing keepGoing_;
};

}  // namespace vidralo
