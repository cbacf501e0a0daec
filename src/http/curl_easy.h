#pragma once
// RAII owners of libcurl handles and typed setters, since curl_easy_setopt's
// variadic arguments are not checked by the compiler.
#include <memory>
#include <string>
#include <vector>

#include "http/curl_library.h"

namespace vidralo {

// A handle or list exists only once libcurl is loaded.
struct CurlListFree {
  void operator()(curl_slist* list) const { curlFunctions()->slist_free_all(list); }
};
struct CurlEasyCleanup {
  void operator()(CURL* handle) const { curlFunctions()->easy_cleanup(handle); }
};

class CurlHeaderList {
 public:
  // False also when libcurl cannot be loaded.
  bool append(const std::string& line);
  curl_slist* get() const { return list_.get(); }

 private:
  std::unique_ptr<curl_slist, CurlListFree> list_;
};

// An easy handle readied for use on any thread, with typed setters and
// getters. The transfer's callbacks are installed by the class built on it.
class CurlHandle {
 public:
  // Loads libcurl at the first handle of the process; without it the handle
  // is false (curlLoadError() says why).
  CurlHandle();
  explicit operator bool() const { return handle_ != nullptr; }
  // The loaded libcurl; only once the handle is true.
  const CurlFunctions& curl() const { return *curl_; }

  bool setLong(CURLoption option, long value);
  // The text is copied by libcurl.
  bool setText(CURLoption option, const std::string& value);
  // The list must outlive the transfer.
  bool setList(CURLoption option, const CurlHeaderList& list);

  // Only http and https, also on redirects: libcurl knows schemes (gopher,
  // dict, file, ...) that would send arbitrary bytes anywhere.
  bool speakOnlyHttp();
  // Certificates are checked unless config.ini turns the check off.
  bool setCertificateChecks();

  CURLcode perform();

  // What libcurl reports (0, or `otherwise`, when it cannot).
  long infoLong(CURLINFO info) const;
  long long infoOffset(CURLINFO info, long long otherwise = 0) const;

 protected:
  // Installs the header and body callbacks, both called with `self`.
  void setCallbacks(curl_write_callback onHeader, curl_write_callback onBody, void* self);
  // Installs a callback libcurl calls often while the transfer runs, also
  // while it waits for the network (about once a second then); non-zero
  // ends the transfer.
  void setTick(curl_xferinfo_callback onTick, void* self);
  CURL* get() const { return handle_.get(); }

 private:
  const CurlFunctions* curl_ = curlFunctions();
  std::unique_ptr<CURL, CurlEasyCleanup> handle_;
};

// One easy handle and what its transfer received.
class CurlEasy : public CurlHandle {
 public:
  CurlEasy();
  CurlEasy(const CurlEasy&) = delete;
  CurlEasy& operator=(const CurlEasy&) = delete;

  // The body is copied by libcurl.
  bool setBody(const std::string& body);
  // A response body beyond `bytes` (announced or received) ends the
  // transfer with an error.
  bool setBodyLimit(std::size_t bytes);

  // The body bytes received.
  const std::string& body() const { return body_; }
  // The last response's header block as received, status line first (the
  // blocks of redirects followed, interim answers and a proxy's tunnel
  // answer are dropped).
  const std::string& headers() const { return headers_; }
  // Every value of the named header in the last response.
  std::vector<std::string> headerValues(const char* name) const;

 private:
  static size_t onBody(char* data, size_t size, size_t count, void* self);
  static size_t onHeader(char* data, size_t size, size_t count, void* self);
  // Ends the transfer when the calling thread's stop is requested.
  static int onTick(void* self, curl_off_t, curl_off_t, curl_off_t, curl_off_t);

  std::size_t bodyLimit_ = static_cast<std::size_t>(-1);
  std::string body_;
  std::string headers_;
};

}  // namespace vidralo
