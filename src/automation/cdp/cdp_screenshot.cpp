// CdpEngine::captureScreenshot: Page.captureScreenshot on the page's own
// session, with the same time limit as every other page command.
#include <QByteArray>

#include "automation/cdp/cdp_engine.h"
#include "automation/cdp/cdp_json.h"
#include "automation/cdp/engine_records.h"

namespace vidralo::cdp {

std::string CdpEngine::captureScreenshot(SessionId session) {
  std::shared_ptr<Page> page = livePage(session);
  if (!page) return {};
  const CdpReply reply = page->browser->connection->call(
      "Page.captureScreenshot", JsonObject().text("format", "png").str(), page->page->sessionId(),
      config_.commandTimeLimit);
  if (!reply.ok) {
    log(reply.error);
    return {};
  }
  const std::string data = stringMember(reply.result(), "data");
  const QByteArray png = QByteArray::fromBase64(QByteArray::fromRawData(data.data(), static_cast<qsizetype>(data.size())));
  return png.toStdString();
}

}  // namespace vidralo::cdp
