#pragma once
// The answer to a GET of a download file: the whole file, or the one byte
// range the Range line asks for (206 with Content-Range and Content-Length),
// bent by the fault switches.
#include <httplib.h>

#include <atomic>
#include <memory>
#include <string>

#include "services_sim/simulated_services.h"

namespace vidralo::sim {

// `stopping` ends a throttled answer early when the server shuts down.
void answerDownload(const httplib::Request& request, httplib::Response& response,
                    std::shared_ptr<const std::string> file, const DownloadFaults& faults,
                    const std::atomic<bool>& stopping);

}  // namespace vidralo::sim
