#include "online/notices.h"

#include "common/json_document.h"
#include "common/random_draw.h"
#include "common/text_rules.h"
#include "online/service_http.h"
#include "online/update_servers.h"

namespace vidralo {

void loadNotices(StartWindowView& view) {
  const std::string base = mirrorBase(1);
  if (base.empty()) return;
  JsonDocument notices;
  if (notices.loadText(serviceGetText(base + "gonggao.json"))) view.setStatusPart(2, notices.getText("all"));
  const std::string link = notices.getText("ad1url");
  const int picture = randomBetween(1, 17);
  view.setAdPicture(serviceGetBytes(base + "tool/ad" + numberToText(picture) + ".gif"));
  view.setAdTag(link);
}

}  // namespace vidralo
