// HttpClient against real servers on 127.0.0.1: a plain site, a TLS site with
// a self-signed certificate, a proxy that checks its credentials, hostile
// servers (one that never answers, an endless body, a dripping answer) and a
// closed port.
#include "http/http_client.h"

#include <gtest/gtest.h>
#include <QByteArray>

#include <functional>
#include <map>
#include <thread>

#include "common/stop.h"
#include "simulator/loopback_server.h"
#include "support/hostile_server.h"
#include "support/poll.h"
#include "support/program_directory.h"
#include "support/self_signed_certificate.h"
#include "support/silent_listener.h"
#include "support/temp_dir.h"

namespace vidralo {
namespace {

using test::SilentListener;

// Method and request headers, one "Name: value" line each.
void echo(const httplib::Request& request, httplib::Response& response) {
  std::string text = request.method + "\n";
  for (const auto& [name, value] : request.headers) text += name + ": " + value + "\n";
  response.set_content(text + request.body, "text/plain");
}

std::string basic(const std::string& user, const std::string& password) {
  return "Basic " + QByteArray::fromStdString(user + ":" + password).toBase64().toStdString();
}

int countOf(const std::string& text, const std::string& part) {
  int count = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

// Pages that declare a charset, by name.
const std::map<std::string, std::string>& pages() {
  static const std::map<std::string, std::string> bodies = {
      {"gbk", "<meta charset=\"gbk\">\xD6\xD0\xCE\xC4"},
      {"gb2312", "<META http-equiv=Content-Type content=\"text/html; charset=gb2312\">\xD6\xD0\xCE\xC4"},
      {"utf8", "<meta charset=utf-8>\xE4\xB8\xAD\xE6\x96\x87"},
      {"latin1", "<meta charset='iso-8859-1'>caf\xE9"},
      {"none", "<p>\xD6\xD0\xCE\xC4</p>"},
  };
  return bodies;
}

class HttpClientTest : public ::testing::Test {
 protected:
  void SetUp() override {
    auto& routes = site_.server();
    routes.Get("/echo", echo);
    routes.Post("/echo", echo);
    routes.Get("/cookies", [](const httplib::Request&, httplib::Response& response) {
      response.set_header("Set-Cookie", "b=3; Path=/");
      response.set_header("Set-Cookie", "c=4");
      response.set_header("Set-Cookie", "a=deleted; Max-Age=0");
      response.set_content("ok", "text/plain");
    });
    routes.Get("/redirect", [](const httplib::Request&, httplib::Response& response) { response.set_redirect("/echo"); });
    routes.Get("/missing", [](const httplib::Request&, httplib::Response& response) { response.status = 404; });
    routes.Get(R"(/page/(\w+))", [](const httplib::Request& request, httplib::Response& response) {
      response.set_content(pages().at(request.matches[1]), "text/html");
    });
    routes.Get("/broken", [](const httplib::Request&, httplib::Response& response) {
      // Promises 100 bytes, delivers 10 and drops the connection.
      response.set_content_provider(100, "text/plain", [](size_t, size_t, httplib::DataSink& sink) {
        sink.write("0123456789", 10);
        return false;
      });
    });
    routes.Get("/private", [](const httplib::Request& request, httplib::Response& response) {
      response.status = request.get_header_value("Authorization") == basic("op", "pw") ? 200 : 401;
    });
    site_.start(0);
  }
  std::string url(const std::string& path) const { return site_.origin() + path; }

  test::TempDir dir_;
  test::ProgramDirectoryIn programDirectory_{dir_.path()};
  sim::LoopbackServer site_;
};

using Operation = std::function<HttpResponse(const std::string& url, const std::string& extraHeaders, int method)>;

HttpResponse viaRequest(const std::string& url, const std::string& extraHeaders, int method) {
  return HttpClient::request({.url = url, .method = method, .extraHeaders = extraHeaders});
}
HttpResponse viaFetch(const std::string& url, const std::string& extraHeaders, int method) {
  return HttpClient::fetch({.url = url, .method = method, .extraHeaders = extraHeaders});
}

struct DefaultLine {
  const char* name;
  Operation operation;
  int method;
  std::string line;  // "Referer: " is completed with the address
  std::string callerLine;
};

TEST_F(HttpClientTest, EachDefaultLineIsSentOnceAndYieldsToTheCallersLineInAnyCase) {
  const std::vector<DefaultLine> cases = {
      {"request Accept", viaRequest, 0, "Accept: */*", "ACCEPT: text/x-mine"},
      {"request Referer", viaRequest, 0, "Referer: ", "referer: http://mine.example/"},
      {"request Accept-Language", viaRequest, 0, "Accept-Language: zh-cn", "accept-language: fr"},
      {"request User-Agent", viaRequest, 0, "User-Agent: Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)",
       "user-agent: mine"},
      {"request Content-Type", viaRequest, 1, "Content-Type: application/x-www-form-urlencoded",
       "content-type: text/x-mine"},
      {"request Connection", viaRequest, 0, "Connection: keep-alive", "connection: close"},
      {"fetch User-Agent", viaFetch, 0,
       "User-Agent: Mozilla/5.0 (compatible; MSIE 9.0; Windows NT 6.1; WOW64; Trident/5.0)", "user-agent: mine"},
      {"fetch Accept", viaFetch, 0, "Accept: text/html, application/xhtml+xml, */*", "accept: text/x-mine"},
      {"fetch Accept-Encoding", viaFetch, 0, "Accept-Encoding: gbk, GB2312", "accept-encoding: identity"},
      {"fetch Accept-Language", viaFetch, 0, "Accept-Language: zh-cn", "ACCEPT-LANGUAGE: fr"},
      {"fetch Content-Type", viaFetch, 1, "Content-Type: application/x-www-form-urlencoded",
       "content-type: text/x-mine"},
      {"fetch Cache-Control", viaFetch, 0, "Cache-Control: no-cache", "cache-control: max-age=5"},
      {"fetch Connection", viaFetch, 0, "Connection: keep-alive", "connection: close"},
  };
  for (const DefaultLine& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string address = url("/echo");
    const std::string line = c.line == "Referer: " ? c.line + address : c.line;
    const std::string plain = c.operation(address, "", c.method).body;
    EXPECT_EQ(countOf(plain, line + "\n"), 1) << plain;
    const std::string named = c.operation(address, "X-Extra: 1\r\n" + c.callerLine, c.method).body;
    const std::string callerValue = c.callerLine.substr(c.callerLine.find(':') + 2);
    EXPECT_EQ(countOf(named, line + "\n"), 0) << named;
    EXPECT_EQ(countOf(named, ": " + callerValue + "\n"), 1) << named;
    EXPECT_EQ(countOf(named, "X-Extra: 1\n"), 1) << named;
  }
}

TEST_F(HttpClientTest, HeaderLinesAreNormalisedAndDefaultsCanBeLeftOut) {
  const std::string normalised =
      HttpClient::fetch({.url = url("/echo"), .extraHeaders = "  X-Spaced  :v1\nX-Other:  v2  "}).body;
  EXPECT_EQ(countOf(normalised, "\nX-Spaced: v1\n"), 1) << normalised;
  EXPECT_EQ(countOf(normalised, "\nX-Other: v2\n"), 1) << normalised;
  const std::string bare = HttpClient::request({.url = url("/echo"), .completeHeaders = false}).body;
  EXPECT_EQ(countOf(bare, "Referer:"), 0) << bare;
  EXPECT_EQ(countOf(bare, "Accept-Language:"), 0) << bare;
  EXPECT_EQ(countOf(bare, "Connection: keep-alive\n"), 1) << bare;
}

TEST_F(HttpClientTest, MethodCodesChooseTheVerbAndOutOfRangeIsGet) {
  EXPECT_TRUE(HttpClient::fetch({.url = url("/echo"), .method = 1, .postText = "a=1"}).body.starts_with("POST\n"));
  EXPECT_TRUE(HttpClient::request({.url = url("/echo"), .method = 9}).body.starts_with("GET\n"));
  // The body limit does not count the length a HEAD answer announces.
  EXPECT_EQ(HttpClient::fetch({.url = url("/echo"), .method = 2, .bodyLimit = 1}).statusCode, 200);
  const std::string posted =
      HttpClient::request({.url = url("/echo"), .method = 1, .postText = "a=1", .postBytes = "b=2"}).body;
  EXPECT_TRUE(posted.ends_with("\nb=2")) << posted;
}

TEST_F(HttpClientTest, CookiesAreSentReturnedAndMerged) {
  const std::string sent = "Cookie: a=1; b=2; d=5";
  const HttpResponse viaRequestCall = HttpClient::request({.url = url("/cookies"), .cookies = sent});
  const HttpResponse viaFetchCall = HttpClient::fetch({.url = url("/cookies"), .cookies = sent});
  for (const HttpResponse* response : {&viaRequestCall, &viaFetchCall}) {
    EXPECT_EQ(response->returnedCookies, "b=3; c=4; a=deleted");
    EXPECT_EQ(response->cookies, "b=3; d=5; c=4");
  }
  EXPECT_EQ(countOf(HttpClient::fetch({.url = url("/echo"), .cookies = sent}).body, "Cookie: a=1; b=2; d=5\n"), 1);
  EXPECT_EQ(HttpClient::request({.url = url("/cookies"), .cookies = sent, .mergeCookies = false}).cookies,
            "a=1; b=2; d=5");
}

TEST_F(HttpClientTest, RedirectsAreFollowedOrReportedWithTheirAddress) {
  const HttpResponse followed = HttpClient::fetch({.url = url("/redirect")});
  EXPECT_EQ(followed.statusCode, 200);
  EXPECT_TRUE(followed.body.starts_with("GET\n"));
  EXPECT_EQ(followed.redirectAddress, "");

  const HttpResponse held = HttpClient::fetch({.url = url("/redirect"), .noRedirect = true});
  EXPECT_EQ(held.statusCode, 302);
  EXPECT_EQ(held.statusText, "302 Found");
  EXPECT_EQ(held.redirectAddress, "/echo");
  EXPECT_EQ(HttpClient::request({.url = url("/redirect"), .noRedirect = true}).statusCode, 302);
}

TEST_F(HttpClientTest, HeaderBlockStartsWithTheStatusLineInCrLfLines) {
  const HttpResponse response = HttpClient::fetch({.url = url("/missing")});
  EXPECT_EQ(response.statusCode, 404);
  EXPECT_EQ(response.statusText, "404 Not Found");
  EXPECT_TRUE(response.headers.starts_with("HTTP/1.1 404 Not Found\r\n")) << response.headers;
  EXPECT_TRUE(response.headers.ends_with("\r\n\r\n"));
  EXPECT_NE(response.headers.find("\r\nContent-Length: "), std::string::npos);
}

TEST_F(HttpClientTest, FetchNamesTheStepThatFailed) {
  const test::HostileServer silent({});
  std::string closedUrl;
  {
    const test::HostileServer gone({});
    closedUrl = gone.url();
  }
  const struct {
    std::string url;
    const char* text;
  } cases[] = {
      {"not an address", "701 解析URL地址失败!"},
      {"ftp://127.0.0.1/file", "701 解析URL地址失败!"},
      {closedUrl, "703 创建WinHttp连接失败!"},
      {silent.url(), "712 服务器未响应!"},
      {url("/broken"), "713 读取数据失败!"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.url);
    const HttpResponse response = HttpClient::fetch({.url = c.url, .timeoutSeconds = 1});
    EXPECT_EQ(response.statusText, c.text);
    EXPECT_EQ(response.body, "");
  }
}

TEST_F(HttpClientTest, RequestGivesNothingBackWhenTheServerNeverAnswersWithinItsLimit) {
  const test::HostileServer silent({});
  const HttpResponse response = HttpClient::request({.url = silent.url(), .timeoutSeconds = 1});
  EXPECT_EQ(response.body, "");
  EXPECT_EQ(response.statusCode, 0);
  EXPECT_EQ(response.statusText, "");
}

bool hangsUpSoon(const test::HostileServer& server) {
  return test::pollUntil([&] { return server.clientHungUp(); }, std::chrono::seconds(5));
}

TEST_F(HttpClientTest, AnEndlessBodyIsCutOffAtTheBodyLimit) {
  for (const bool chunked : {false, true}) {
    for (const Operation& operation : {Operation(viaRequest), Operation(viaFetch)}) {
      SCOPED_TRACE(chunked ? "chunked" : "announced length");
      test::HostileServer server(test::endlessBody(chunked));
      EXPECT_EQ(operation(server.url(), "", 0).body, "");
      EXPECT_TRUE(hangsUpSoon(server));
      EXPECT_LT(server.bytesSent(), 64u << 20);
    }
  }
}

TEST_F(HttpClientTest, AnAnswerThatDripsEndsAtTheOverallTimeLimit) {
  test::HostileServer server(test::drippingBody(1000, std::chrono::milliseconds(200)));
  EXPECT_EQ(HttpClient::fetch({.url = server.url(), .timeoutSeconds = 2}).statusText, "713 读取数据失败!");
  EXPECT_TRUE(hangsUpSoon(server));
}

TEST_F(HttpClientTest, AStopEndsAnExchangeThatIsStillReceiving) {
  test::HostileServer server(test::drippingBody(1000, std::chrono::milliseconds(200)));
  HttpResponse response;
  std::jthread exchange([&](std::stop_token token) {
    const StopScope scope(token);
    response = HttpClient::fetch({.url = server.url()});
  });
  ASSERT_TRUE(test::pollUntil([&] { return server.bytesSent() > 0; }, std::chrono::seconds(5)));
  exchange.request_stop();
  exchange.join();
  EXPECT_EQ(response.body, "");
  EXPECT_TRUE(hangsUpSoon(server));
}

TEST_F(HttpClientTest, FetchConvertsTheDeclaredCharsetToUtf8) {
  const struct {
    const char* page;
    std::string text;
  } cases[] = {
      {"gbk", "<meta charset=\"gbk\">中文"},
      {"gb2312", "<META http-equiv=Content-Type content=\"text/html; charset=gb2312\">中文"},
      {"utf8", "<meta charset=utf-8>中文"},
      {"latin1", "<meta charset='iso-8859-1'>café"},
      {"none", pages().at("none")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.page);
    const HttpResponse response = HttpClient::fetch({.url = url(std::string("/page/") + c.page)});
    EXPECT_EQ(response.body, c.text);
    EXPECT_EQ(response.bodyBytes, pages().at(c.page));
  }
}

TEST_F(HttpClientTest, BasicCredentialsReachTheServer) {
  EXPECT_EQ(HttpClient::fetch({.url = url("/private"), .serverUser = "op", .serverPassword = "pw"}).statusCode, 200);
  EXPECT_EQ(
      HttpClient::request({.url = url("/private"), .proxyUser = "op", .proxyPassword = "pw", .credentialTarget = 0})
          .statusCode,
      200);
  EXPECT_EQ(HttpClient::fetch({.url = url("/private")}).statusCode, 401);
}

// Answers absolute-address requests itself after checking Proxy-Authorization.
class HttpProxyTest : public HttpClientTest {
 protected:
  void SetUp() override {
    HttpClientTest::SetUp();
    proxy_.server().Get(".*", [this](const httplib::Request& request, httplib::Response& response) {
      if (request.get_header_value("Proxy-Authorization") != basic("proxy user", "secret")) {
        response.status = 407;
        return;
      }
      response.set_content("proxied " + request.target, "text/plain");
    });
    proxy_.start(0);
  }
  std::string proxyAddress() const { return "127.0.0.1:" + std::to_string(proxy_.port()); }

  sim::LoopbackServer proxy_;
};

TEST_F(HttpProxyTest, ProxyCredentialsAreSentAsBasicProxyAuthorization) {
  const std::string target = "http://upstream.invalid/index";
  const HttpResponse requested = HttpClient::request(
      {.url = target, .proxy = proxyAddress(), .proxyUser = "proxy user", .proxyPassword = "secret"});
  EXPECT_EQ(requested.statusCode, 200);
  EXPECT_EQ(requested.body, "proxied " + target);
  const HttpResponse fetched = HttpClient::fetch(
      {.url = target, .proxy = proxyAddress(), .proxyUser = "proxy user", .proxyPassword = "secret"});
  EXPECT_EQ(fetched.body, "proxied " + target);
  EXPECT_EQ(HttpClient::fetch({.url = target, .proxy = proxyAddress(), .proxyUser = "proxy user", .proxyPassword = "x"})
                .statusCode,
            407);
}

// A TLS site whose certificate, made for this test, no authority signed.
class HttpsTest : public HttpClientTest {
 protected:
  static void SetUpTestSuite() {
    certificates_ = new test::TempDir;
    ASSERT_TRUE(test::makeSelfSignedCertificate(*certificates_)) << "openssl could not make a certificate";
  }
  static void TearDownTestSuite() {
    delete certificates_;
    certificates_ = nullptr;
  }
  void SetUp() override {
    HttpClientTest::SetUp();
    tls_ = std::make_unique<sim::LoopbackServer>([] {
      return std::make_unique<httplib::SSLServer>(certificates_->file("cert.pem").c_str(),
                                                  certificates_->file("key.pem").c_str());
    });
    tls_->server().Get("/", [](const httplib::Request&, httplib::Response& response) {
      response.set_content("secure", "text/plain");
    });
    tls_->start(0);
  }
  void TearDown() override { tls_.reset(); }

  static test::TempDir* certificates_;
  std::unique_ptr<sim::LoopbackServer> tls_;
};
test::TempDir* HttpsTest::certificates_ = nullptr;

TEST_F(HttpsTest, AnUnverifiableCertificateIsRefusedUnlessVerificationIsTurnedOff) {
  const std::string address = tls_->origin("https") + "/";
  EXPECT_EQ(HttpClient::fetch({.url = address}).statusText, "711 发送请求失败!");
  EXPECT_EQ(HttpClient::request({.url = address}).statusCode, 0);

  dir_.write("config.ini", "[http]\nverify_tls = false\n");
  EXPECT_EQ(HttpClient::fetch({.url = address}).body, "secure");
  EXPECT_EQ(HttpClient::request({.url = address}).body, "secure");
}

}  // namespace
}  // namespace vidralo
