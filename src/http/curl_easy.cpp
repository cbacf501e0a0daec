#include "http/curl_easy.h"

#include <mutex>

namespace vidralo {

bool CurlHeaderList::append(const std::string& line) {
  curl_slist* grown = curl_slist_append(list_.get(), line.c_str());
  if (grown == nullptr) return false;
  list_.release();
  list_.reset(grown);
  return true;
}

CurlEasy::CurlEasy() {
  static std::once_flag globalInit;
  std::call_once(globalInit, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
  handle_.reset(curl_easy_init());
  if (!handle_) return;
  // Threads other than the main one may run transfers: no signals for
  // resolver time limits.
  setLong(CURLOPT_NOSIGNAL, 1);
  curl_easy_setopt(handle_.get(), CURLOPT_WRITEFUNCTION, &CurlEasy::onBody);
  curl_easy_setopt(handle_.get(), CURLOPT_WRITEDATA, this);
  curl_easy_setopt(handle_.get(), CURLOPT_HEADERFUNCTION, &CurlEasy::onHeader);
  curl_easy_setopt(handle_.get(), CURLOPT_HEADERDATA, this);
}

bool CurlEasy::setLong(CURLoption option, long value) {
  return curl_easy_setopt(handle_.get(), option, value) == CURLE_OK;
}

bool CurlEasy::setText(CURLoption option, const std::string& value) {
  return curl_easy_setopt(handle_.get(), option, value.c_str()) == CURLE_OK;
}

bool CurlEasy::setList(CURLoption option, const CurlHeaderList& list) {
  return curl_easy_setopt(handle_.get(), option, list.get()) == CURLE_OK;
}

bool CurlEasy::setBody(const std::string& body) {
  return curl_easy_setopt(handle_.get(), CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size())) ==
             CURLE_OK &&
         curl_easy_setopt(handle_.get(), CURLOPT_COPYPOSTFIELDS, body.c_str()) == CURLE_OK;
}

CURLcode CurlEasy::perform() { return curl_easy_perform(handle_.get()); }

long CurlEasy::infoLong(CURLINFO info) const {
  long value = 0;
  return curl_easy_getinfo(handle_.get(), info, &value) == CURLE_OK ? value : 0;
}

long long CurlEasy::infoOffset(CURLINFO info) const {
  curl_off_t value = 0;
  return curl_easy_getinfo(handle_.get(), info, &value) == CURLE_OK ? value : 0;
}

std::vector<std::string> CurlEasy::headerValues(const char* name) const {
  std::vector<std::string> values;
  curl_header* header = nullptr;
  for (size_t index = 0;; ++index) {
    if (curl_easy_header(handle_.get(), name, index, CURLH_HEADER, -1, &header) != CURLHE_OK) break;
    values.emplace_back(header->value);
    if (index + 1 >= header->amount) break;
  }
  return values;
}

size_t CurlEasy::onBody(char* data, size_t size, size_t count, void* self) {
  static_cast<CurlEasy*>(self)->body_.append(data, size * count);
  return size * count;
}

size_t CurlEasy::onHeader(char* data, size_t size, size_t count, void* self) {
  auto& easy = *static_cast<CurlEasy*>(self);
  const std::string_view line(data, size * count);
  // Each response begins with its status line; only the last one counts.
  if (line.starts_with("HTTP/")) {
    easy.headers_.clear();
    easy.body_.clear();
  }
  easy.headers_.append(line);
  return size * count;
}

}  // namespace vidralo
