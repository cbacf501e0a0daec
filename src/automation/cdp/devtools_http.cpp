#include "automation/cdp/devtools_http.h"

#include <httplib.h>

namespace vidralo::cdp {

std::string fetchVersionJson(int port, std::chrono::milliseconds timeLimit) {
  httplib::Client client("127.0.0.1", port);
  client.set_connection_timeout(timeLimit);
  client.set_read_timeout(timeLimit);
  client.set_write_timeout(timeLimit);
  const httplib::Result answer = client.Get("/json/version");
  if (!answer || answer->status != 200) return {};
  return answer->body;
}

}  // namespace vidralo::cdp
