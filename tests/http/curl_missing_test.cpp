// Requests when libcurl cannot be loaded: a program of its own, since the
// library is loaded once per process.
#include <gtest/gtest.h>

#include "http/curl_library.h"
#include "http/http_client.h"

namespace vidralo {
namespace {

TEST(HttpClientWithoutLibcurl, RequestsFailAndSayWhy) {
  setCurlLibraryFile("libcurl-not-installed.so.4");

  const HttpResponse fetched = HttpClient::fetch({.url = "http://127.0.0.1:9/"});
  EXPECT_EQ(fetched.statusCode, 0);
  EXPECT_TRUE(fetched.body.empty());
  EXPECT_TRUE(fetched.statusText.starts_with("702 ")) << fetched.statusText;
  EXPECT_NE(fetched.statusText.find("libcurl-not-installed.so.4: cannot open shared object file"), std::string::npos)
      << fetched.statusText;

  const HttpResponse requested = HttpClient::request({.url = "http://127.0.0.1:9/"});
  EXPECT_EQ(requested.statusCode, 0);
  EXPECT_TRUE(requested.body.empty());
  EXPECT_EQ(curlFunctions(), nullptr);
}

}  // namespace
}  // namespace vidralo
