#include "online/service_http.h"

#include <curl/curl.h>

#include <memory>

namespace vidralo {
namespace {

std::size_t appendBody(char* data, std::size_t size, std::size_t count, void* body) {
  static_cast<std::string*>(body)->append(data, size * count);
  return size * count;
}

std::string get(const std::string& url, const std::string& extraHeaders, std::string* statusText) {
  std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> curl(curl_easy_init(), curl_easy_cleanup);
  std::unique_ptr<curl_slist, decltype(&curl_slist_free_all)> headers(nullptr, curl_slist_free_all);
  if (!extraHeaders.empty()) headers.reset(curl_slist_append(nullptr, extraHeaders.c_str()));
  std::string body;
  curl_easy_setopt(curl.get(), CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl.get(), CURLOPT_HTTPHEADER, headers.get());
  curl_easy_setopt(curl.get(), CURLOPT_WRITEFUNCTION, appendBody);
  curl_easy_setopt(curl.get(), CURLOPT_WRITEDATA, &body);
  curl_easy_setopt(curl.get(), CURLOPT_TIMEOUT, 30L);
  const CURLcode result = curl_easy_perform(curl.get());
  if (statusText) *statusText = curl_easy_strerror(result);
  return result == CURLE_OK ? body : std::string();
}

}  // namespace

std::string serviceGetText(const std::string& url, const std::string& extraHeaders, std::string* statusText) {
  return get(url, extraHeaders, statusText);
}

std::string serviceGetBytes(const std::string& url) { return get(url, {}, nullptr); }

}  // namespace vidralo
