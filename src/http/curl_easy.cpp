#include "http/curl_easy.h"

#include "common/app_config.h"
#include "common/stop.h"

namespace vidralo {

bool CurlHeaderList::append(const std::string& line) {
  const CurlFunctions* curl = curlFunctions();
  if (curl == nullptr) return false;
  curl_slist* grown = curl->slist_append(list_.get(), line.c_str());
  if (grown == nullptr) return false;
  list_.release();
  list_.reset(grown);
  return true;
}

CurlHandle::CurlHandle() {
  if (curl_ == nullptr) return;
  handle_.reset(curl_->easy_init());
  // Threads other than the main one may run transfers: no signals for
  // resolver time limits.
  if (handle_) setLong(CURLOPT_NOSIGNAL, 1);
}

bool CurlHandle::setLong(CURLoption option, long value) {
  return curl_->easy_setopt(handle_.get(), option, value) == CURLE_OK;
}

bool CurlHandle::setText(CURLoption option, const std::string& value) {
  return curl_->easy_setopt(handle_.get(), option, value.c_str()) == CURLE_OK;
}

bool CurlHandle::setList(CURLoption option, const CurlHeaderList& list) {
  return curl_->easy_setopt(handle_.get(), option, list.get()) == CURLE_OK;
}

bool CurlHandle::speakOnlyHttp() {
  return setText(CURLOPT_PROTOCOLS_STR, "http,https") && setText(CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
}

bool CurlHandle::setCertificateChecks() {
  const long verify = httpVerifyTls() ? 1 : 0;
  return setLong(CURLOPT_SSL_VERIFYPEER, verify) && setLong(CURLOPT_SSL_VERIFYHOST, verify ? 2 : 0);
}

CURLcode CurlHandle::perform() { return curl_->easy_perform(handle_.get()); }

long CurlHandle::infoLong(CURLINFO info) const {
  long value = 0;
  return curl_->easy_getinfo(handle_.get(), info, &value) == CURLE_OK ? value : 0;
}

long long CurlHandle::infoOffset(CURLINFO info, long long otherwise) const {
  curl_off_t value = 0;
  return curl_->easy_getinfo(handle_.get(), info, &value) == CURLE_OK ? value : otherwise;
}

void CurlHandle::setCallbacks(curl_write_callback onHeader, curl_write_callback onBody, void* self) {
  curl_->easy_setopt(handle_.get(), CURLOPT_HEADERFUNCTION, onHeader);
  curl_->easy_setopt(handle_.get(), CURLOPT_HEADERDATA, self);
  curl_->easy_setopt(handle_.get(), CURLOPT_WRITEFUNCTION, onBody);
  curl_->easy_setopt(handle_.get(), CURLOPT_WRITEDATA, self);
}

void CurlHandle::setTick(curl_xferinfo_callback onTick, void* self) {
  curl_->easy_setopt(handle_.get(), CURLOPT_XFERINFOFUNCTION, onTick);
  curl_->easy_setopt(handle_.get(), CURLOPT_XFERINFODATA, self);
  setLong(CURLOPT_NOPROGRESS, 0);
}

CurlEasy::CurlEasy() {
  if (!*this) return;
  setCallbacks(&CurlEasy::onHeader, &CurlEasy::onBody, this);
  setTick(&CurlEasy::onTick, this);
}

bool CurlEasy::setBodyLimit(std::size_t bytes) {
  bodyLimit_ = bytes;
  return curl().easy_setopt(get(), CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(bytes)) == CURLE_OK;
}

bool CurlEasy::setBody(const std::string& body) {
  return curl().easy_setopt(get(), CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size())) == CURLE_OK &&
         curl().easy_setopt(get(), CURLOPT_COPYPOSTFIELDS, body.c_str()) == CURLE_OK;
}

std::vector<std::string> CurlEasy::headerValues(const char* name) const {
  std::vector<std::string> values;
  curl_header* header = nullptr;
  for (size_t index = 0;; ++index) {
    if (curl().easy_header(get(), name, index, CURLH_HEADER, -1, &header) != CURLHE_OK) break;
    values.emplace_back(header->value);
    if (index + 1 >= header->amount) break;
  }
  return values;
}

size_t CurlEasy::onBody(char* data, size_t size, size_t count, void* self) {
  auto& easy = *static_cast<CurlEasy*>(self);
  // A body that never ends (no length announced, or a false one) stops at
  // the limit instead of taking all memory.
  if (size * count > easy.bodyLimit_ - easy.body_.size()) return 0;
  easy.body_.append(data, size * count);
  return size * count;
}

int CurlEasy::onTick(void*, curl_off_t, curl_off_t, curl_off_t, curl_off_t) { return stopRequested() ? 1 : 0; }

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
