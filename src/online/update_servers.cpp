#include "online/update_servers.h"

#include "common/json_document.h"
#include "common/text_rules.h"
#include "online/service_http.h"

namespace vidralo {

std::string mirrorBase(int mirror) {
  std::string base = configuredServiceAddress("update" + numberToText(mirror));
  if (!base.empty() && !endsWith(base, "/")) base += '/';
  return base;
}

UpdateIndex fetchUpdateIndex(const std::string& base, const std::string& productId) {
  if (base.empty()) return {};
  JsonDocument index;
  if (!index.loadText(serviceGetText(base + productId + "/index.json"))) return {};
  return {index.getText("版本"), index.getText("更新说明"), index.getText("文件名"), index.getText("下载地址"),
          index.getText("sha256")};
}

std::string fetchLatestVersion(const std::string& productId) {
  return fetchUpdateIndex(mirrorBase(1), productId).version;
}

}  // namespace vidralo
