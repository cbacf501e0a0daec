#pragma once
// A stand-in IP-lookup site on 127.0.0.1: a home page that embeds the answer
// page in an iframe, and the answer page with the address in its title. It
// records the headers of each request.
#include <mutex>
#include <string>
#include <vector>

#include "common/text_rules.h"
#include "simulator/loopback_server.h"

namespace vidralo::test {

class IpLookupSite {
 public:
  // "{origin}" in either text becomes the site's origin, "{host}" its host
  // and port.
  explicit IpLookupSite(std::string homePage = "<iframe src=\"{origin}/answer\" width=1>",
                        std::string answerPage = "<title>您的IP地址是：203.0.113.7</title>")
      : homePage_(std::move(homePage)), answerPage_(std::move(answerPage)) {
    server_.server().Get("/", [this](const httplib::Request& request, httplib::Response& response) {
      record(request);
      response.set_content(withOrigin(homePage_), "text/html");
    });
    server_.server().Get("/answer", [this](const httplib::Request& request, httplib::Response& response) {
      record(request);
      response.set_content(withOrigin(answerPage_), "text/html");
    });
    server_.start(0);
  }

  std::string origin() const { return server_.origin(); }
  std::string hostAndPort() const { return "127.0.0.1:" + std::to_string(server_.port()); }

  struct Seen {
    std::string path;
    std::string userAgent;
    std::string referer;
  };
  std::vector<Seen> requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
  }

 private:
  void record(const httplib::Request& request) {
    std::lock_guard lock(mutex_);
    requests_.push_back({request.path, request.get_header_value("User-Agent"), request.get_header_value("Referer")});
  }
  std::string withOrigin(const std::string& text) const {
    return replaceAll(replaceAll(text, "{origin}", origin()), "{host}", hostAndPort());
  }

  std::string homePage_;
  std::string answerPage_;
  mutable std::mutex mutex_;
  std::vector<Seen> requests_;
  // Last: it stops serving before the members its handlers use go away.
  sim::LoopbackServer server_;
};

}  // namespace vidralo::test
