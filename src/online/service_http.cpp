#include "online/service_http.h"

#include "common/app_config.h"
#include "common/text_rules.h"
#include "http/http_client.h"

namespace vidralo {

std::string configuredServiceAddress(const std::string& key) {
  std::string address = configValue("hosts", key);
  return startsWith(address, "http://") || startsWith(address, "https://") ? address : std::string();
}

std::string serviceGetText(const std::string& url, const std::string& extraHeaders, std::string* statusText) {
  HttpFetchOptions options;
  options.url = url;
  options.extraHeaders = extraHeaders;
  HttpResponse response = HttpClient::fetch(options);
  if (statusText) *statusText = response.statusText;
  return std::move(response.body);
}

std::string serviceGetBytes(const std::string& url) {
  HttpFetchOptions options;
  options.url = url;
  return std::move(HttpClient::fetch(options).bodyBytes);
}

}  // namespace vidralo
