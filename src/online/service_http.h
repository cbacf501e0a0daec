#pragma once
// The requests of the online services: plain GETs of the maker's servers and
// of the quotation service, through the program's HTTP client.
#include <string>

namespace vidralo {

// [hosts] `key` of config.ini when it is an http or https address; empty
// otherwise, so that no request goes to a host that is not configured.
std::string configuredServiceAddress(const std::string& key);

// The body as text (UTF-8); empty on failure.
std::string serviceGetText(const std::string& url, const std::string& extraHeaders = {});

// The body bytes unchanged (pictures); empty on failure.
std::string serviceGetBytes(const std::string& url);

}  // namespace vidralo
