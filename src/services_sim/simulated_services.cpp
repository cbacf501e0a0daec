#include "services_sim/simulated_services.h"

#include <QByteArray>
#include <QCryptographicHash>

#include <algorithm>
#include <array>
#include <mutex>

#include "common/text_rules.h"
#include "services_sim/ad_picture.h"
#include "services_sim/download_answer.h"
#include "simulator/loopback_server.h"
#include "simulator/sim_json.h"
#include "simulator/url_text.h"

namespace vidralo::sim {
namespace {

constexpr int kServiceCount = 6;
constexpr const char* kUpdateIndexPath = "/vidralo/index.json";
constexpr const char* kIpAnswerPath = "/ip/answer";
constexpr const char* kDefaultQuotation = "路漫漫其修远兮，吾将上下而求索。";
constexpr std::size_t kSignDigestLength = 32;
constexpr std::size_t kTimestampLength = 10;
constexpr const char* kSampleFileName = "Vidralo1.3";
constexpr std::size_t kSampleFileSize = 2500000;

void replyText(httplib::Response& response, const std::string& text, const char* type = "text/plain; charset=utf-8") {
  response.set_header("Cache-Control", "no-store");
  response.set_content(text, type);
}

bool sameTextIgnoringCase(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                    [](char x, char y) { return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y)); });
}

// The query of a request target decoded as a form: "+" is a blank, %XX a
// byte. The first occurrence of a key counts.
std::map<std::string, std::string> formQuery(const std::string& target) {
  std::map<std::string, std::string> query;
  const std::size_t mark = target.find('?');
  if (mark == std::string::npos) return query;
  std::string_view rest(target);
  rest.remove_prefix(mark + 1);
  while (!rest.empty()) {
    const std::string_view pair = rest.substr(0, rest.find('&'));
    rest.remove_prefix(std::min(rest.size(), pair.size() + 1));
    std::string text(pair);
    std::replace(text.begin(), text.end(), '+', ' ');
    const std::size_t equals = text.find('=');
    query.emplace(percentDecode(text.substr(0, equals)),
                  equals == std::string::npos ? std::string() : percentDecode(text.substr(equals + 1)));
  }
  return query;
}

}  // namespace

std::string RecordedRequest::header(const std::string& name) const {
  for (const auto& [key, value] : headers)
    if (sameTextIgnoringCase(key, name)) return value;
  return {};
}

bool notificationSignValid(const std::string& signValue) {
  const std::size_t at = signValue.find('@');
  if (at != kSignDigestLength || signValue.size() != at + 1 + kTimestampLength) return false;
  const std::string stamp = signValue.substr(at + 1);
  if (!std::all_of(stamp.begin(), stamp.end(), [](char c) { return c >= '0' && c <= '9'; })) return false;
  const QByteArray digest =
      QCryptographicHash::hash(QByteArray(kNotificationSalt) + QByteArray::fromStdString(stamp), QCryptographicHash::Md5)
          .toHex();
  return digest.toStdString() == signValue.substr(0, at);
}

std::string defaultUpdateIndex(const std::string& primaryBase) {
  return JsonObjectText()
      .add("版本", "1.3")
      .add("更新说明", "修复若干问题")
      .add("文件名", "Vidralo1.3")
      .add("下载地址", primaryBase + "files/" + kSampleFileName)
      .text();
}

std::string defaultNotices() {
  return JsonObjectText().add("all", "欢迎使用 Vidralo").add("ad1url", "https://example.com/vidralo").text();
}

struct SimulatedServices::State {
  mutable std::mutex mutex;
  std::array<LoopbackServer, kServiceCount> servers;
  // The ports stay known while a mirror is switched off, so its address does
  // not change.
  std::array<int, kServiceCount> ports{};
  std::array<MirrorProbe, 3> probes{MirrorProbe::Ok, MirrorProbe::Ok, MirrorProbe::Ok};
  std::string updateIndex;
  std::string notices = defaultNotices();
  std::string quotation = kDefaultQuotation;
  std::string publicIp;
  std::map<std::string, std::shared_ptr<const std::string>> files;
  DownloadFaults faults;
  std::vector<RecordedRequest> requests;
  std::vector<Notification> notifications;
  std::atomic<bool> stopping{false};

  LoopbackServer& server(ServiceKind kind) { return servers[static_cast<std::size_t>(kind)]; }
  std::string origin(ServiceKind kind) const;
  bool startService(ServiceKind kind, int port);
  void record(ServiceKind kind, const httplib::Request& request);
  void mirrorRoutes(int mirror, httplib::Server& s);
  void notificationRoutes(httplib::Server& s);
  void quotationRoutes(httplib::Server& s);
  void ipLookupRoutes(httplib::Server& s);
};

void SimulatedServices::State::record(ServiceKind kind, const httplib::Request& request) {
  RecordedRequest entry{kind, request.method, request.path, {}, {}};
  entry.params.insert(request.params.begin(), request.params.end());
  entry.headers.insert(request.headers.begin(), request.headers.end());
  std::lock_guard lock(mutex);
  requests.push_back(std::move(entry));
}

void SimulatedServices::State::mirrorRoutes(int mirror, httplib::Server& s) {
  s.Get("/test.txt", [this, mirror](const httplib::Request&, httplib::Response& response) {
    std::lock_guard lock(mutex);
    replyText(response, probes[static_cast<std::size_t>(mirror - 1)] == MirrorProbe::Ok ? "ok" : "服务器维护中");
  });
  s.Get(kUpdateIndexPath, [this](const httplib::Request&, httplib::Response& response) {
    std::lock_guard lock(mutex);
    replyText(response, updateIndex, "application/json; charset=utf-8");
  });
  s.Get("/gonggao.json", [this](const httplib::Request&, httplib::Response& response) {
    std::lock_guard lock(mutex);
    replyText(response, notices, "application/json; charset=utf-8");
  });
  s.Get(R"(/tool/ad(\d+)\.gif)", [](const httplib::Request& request, httplib::Response& response) {
    const int number = toInteger(request.matches[1].str());
    if (number < 1 || number > kAdPictureCount || request.matches[1].str() != numberToText(number)) {
      response.status = 404;
      return;
    }
    response.set_content(adPicture(number), "image/gif");
  });
  s.Get(R"(/files/([^/]+))", [this](const httplib::Request& request, httplib::Response& response) {
    std::shared_ptr<const std::string> file;
    DownloadFaults current;
    {
      std::lock_guard lock(mutex);
      const auto found = files.find(request.matches[1].str());
      if (found == files.end()) {
        response.status = 404;
        return;
      }
      file = found->second;
      current = faults;
    }
    answerDownload(request, response, file, current, stopping);
  });
}

void SimulatedServices::State::notificationRoutes(httplib::Server& s) {
  s.Get("/tongzhi", [this](const httplib::Request& request, httplib::Response& response) {
    const std::map<std::string, std::string> query = formQuery(request.target);
    const auto value = [&query](const char* key) {
      const auto found = query.find(key);
      return found == query.end() ? std::string() : found->second;
    };
    Notification notification{value("mubiao"), value("title"), value("body"), request.get_header_value("sign"), false};
    notification.signValid = notificationSignValid(notification.signHeader);
    const bool valid = notification.signValid;
    {
      std::lock_guard lock(mutex);
      notifications.push_back(std::move(notification));
    }
    if (!valid) response.status = 403;
    replyText(response, valid ? "ok" : "sign error");
  });
}

void SimulatedServices::State::quotationRoutes(httplib::Server& s) {
  s.Get("/", [this](const httplib::Request& request, httplib::Response& response) {
    std::string sentence;
    {
      std::lock_guard lock(mutex);
      sentence = quotation;
    }
    if (request.get_param_value("encode") == "text") return replyText(response, sentence);
    replyText(response, JsonObjectText().add("hitokoto", sentence).text(), "application/json; charset=utf-8");
  });
}

void SimulatedServices::State::ipLookupRoutes(httplib::Server& s) {
  s.Get("/", [this](const httplib::Request&, httplib::Response& response) {
    // The answer page is embedded scheme-relative, as the public site does.
    const std::string answer = origin(ServiceKind::IpLookup).substr(5) + kIpAnswerPath;
    replyText(response,
              "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>IP查询</title></head><body>"
              "<p>您的公网地址：</p><iframe src=\"" + answer + "\" width=\"400\" height=\"60\"></iframe></body></html>",
              "text/html; charset=utf-8");
  });
  s.Get(kIpAnswerPath, [this](const httplib::Request& request, httplib::Response& response) {
    std::string address;
    {
      std::lock_guard lock(mutex);
      address = publicIp.empty() ? request.remote_addr : publicIp;
    }
    replyText(response,
              "<html><head><meta charset=\"utf-8\"><title>您的IP地址是：" + address + "</title></head><body>" + address +
                  "</body></html>",
              "text/html; charset=utf-8");
  });
}

SimulatedServices::SimulatedServices() : state_(std::make_unique<State>()) {
  // The file the default update index names, so a local trial can download it.
  std::string sample(kSampleFileSize, '\0');
  for (std::size_t i = 0; i < sample.size(); ++i) sample[i] = static_cast<char>((i * 131 + i / 4096) & 0xFF);
  addFile(kSampleFileName, std::move(sample));
}

SimulatedServices::~SimulatedServices() { stop(); }

std::string SimulatedServices::State::origin(ServiceKind kind) const {
  const int port = ports[static_cast<std::size_t>(kind)];
  return port == 0 ? std::string() : "http://127.0.0.1:" + numberToText(port);
}

bool SimulatedServices::State::startService(ServiceKind kind, int port) {
  httplib::Server& s = server(kind).server();
  // Downloaders keep their connection from block to block.
  s.set_keep_alive_max_count(1000);
  s.set_pre_routing_handler([this, kind](const httplib::Request& request, httplib::Response&) {
    record(kind, request);
    return httplib::Server::HandlerResponse::Unhandled;
  });
  switch (kind) {
    case ServiceKind::Mirror1:
    case ServiceKind::Mirror2:
    case ServiceKind::Mirror3: mirrorRoutes(static_cast<int>(kind) + 1, s); break;
    case ServiceKind::Notification: notificationRoutes(s); break;
    case ServiceKind::Quotation: quotationRoutes(s); break;
    case ServiceKind::IpLookup: ipLookupRoutes(s); break;
  }
  if (!server(kind).start(port)) return false;
  ports[static_cast<std::size_t>(kind)] = server(kind).port();
  return true;
}

bool SimulatedServices::start(int firstPort) {
  if (state_->ports[0] != 0) return true;
  state_->stopping = false;
  for (int i = 0; i < kServiceCount; ++i) {
    if (!state_->startService(static_cast<ServiceKind>(i), firstPort == 0 ? 0 : firstPort + i)) {
      stop();
      return false;
    }
  }
  std::lock_guard lock(state_->mutex);
  if (state_->updateIndex.empty()) state_->updateIndex = defaultUpdateIndex(mirrorBase(1));
  return true;
}

void SimulatedServices::stop() {
  state_->stopping = true;
  for (LoopbackServer& server : state_->servers) server.stop();
  state_->ports.fill(0);
}

std::string SimulatedServices::mirrorBase(int mirror) const {
  if (mirror < 1 || mirror > 3) return {};
  const std::string origin = state_->origin(static_cast<ServiceKind>(mirror - 1));
  return origin.empty() ? origin : origin + "/";
}

std::string SimulatedServices::notificationUrl() const {
  return state_->origin(ServiceKind::Notification) + "/tongzhi";
}

std::string SimulatedServices::quotationUrl() const { return state_->origin(ServiceKind::Quotation) + "/"; }

std::string SimulatedServices::ipLookupUrl() const { return state_->origin(ServiceKind::IpLookup); }

int SimulatedServices::port(ServiceKind service) const { return state_->ports[static_cast<std::size_t>(service)]; }

void SimulatedServices::setMirrorProbe(int mirror, MirrorProbe probe) {
  if (mirror < 1 || mirror > 3) return;
  {
    std::lock_guard lock(state_->mutex);
    state_->probes[static_cast<std::size_t>(mirror - 1)] = probe;
  }
  // A mirror that does not answer is switched off: connections are refused.
  const auto kind = static_cast<ServiceKind>(mirror - 1);
  const int port = state_->ports[static_cast<std::size_t>(kind)];
  if (port == 0) return;
  if (probe == MirrorProbe::NoAnswer) {
    state_->server(kind).stop();
  } else if (!state_->server(kind).running()) {
    state_->startService(kind, port);
  }
}

void SimulatedServices::setUpdateIndex(std::string json) {
  std::lock_guard lock(state_->mutex);
  state_->updateIndex = std::move(json);
}

void SimulatedServices::setNotices(std::string json) {
  std::lock_guard lock(state_->mutex);
  state_->notices = std::move(json);
}

void SimulatedServices::setQuotation(std::string sentence) {
  std::lock_guard lock(state_->mutex);
  state_->quotation = std::move(sentence);
}

void SimulatedServices::setPublicIp(std::string address) {
  std::lock_guard lock(state_->mutex);
  state_->publicIp = std::move(address);
}

void SimulatedServices::addFile(const std::string& name, std::string bytes) {
  auto shared = std::make_shared<const std::string>(std::move(bytes));
  std::lock_guard lock(state_->mutex);
  state_->files[name] = std::move(shared);
}

std::string SimulatedServices::fileUrl(const std::string& name, int mirror) const {
  return mirrorBase(mirror) + "files/" + name;
}

void SimulatedServices::setDownloadFaults(const DownloadFaults& faults) {
  std::lock_guard lock(state_->mutex);
  state_->faults = faults;
}

std::vector<RecordedRequest> SimulatedServices::requests() const {
  std::lock_guard lock(state_->mutex);
  return state_->requests;
}

std::vector<RecordedRequest> SimulatedServices::requests(ServiceKind service) const {
  std::vector<RecordedRequest> all = requests();
  std::erase_if(all, [service](const RecordedRequest& r) { return r.service != service; });
  return all;
}

std::vector<Notification> SimulatedServices::notifications() const {
  std::lock_guard lock(state_->mutex);
  return state_->notifications;
}

void SimulatedServices::clearRequests() {
  std::lock_guard lock(state_->mutex);
  state_->requests.clear();
  state_->notifications.clear();
}

}  // namespace vidralo::sim
