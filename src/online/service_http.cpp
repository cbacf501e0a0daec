#include "online/service_http.h"

#include "common/app_config.h"
#include "common/text_rules.h"
#include "http/http_client.h"

namespace vidralo {

std::string configuredServiceAddress(const std::string& key) {
  std::string address = configValue("hosts", key);
  return startsWith(address, "http://") || startsWith(address, "https://") ? address : std::string();
}

std::string serviceGetText(const std::string& url, const std::string& extraHeaders) {
  return HttpClient::fetch({.url = url, .extraHeaders = extraHeaders}).body;
}

std::string serviceGetBytes(const std::string& url) { return HttpClient::fetch({.url = url}).bodyBytes; }

}  // namespace vidralo
