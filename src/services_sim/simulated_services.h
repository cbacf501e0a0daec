#pragma once
// A stand-in for the maker's online services and the public sites the program
// reads, served on 127.0.0.1 for tests and manual runs. Each service listens
// on a port of its own:
//
//   mirror 1..3     the update server's mirrors, each answering
//                   GET test.txt         "ok" or another text; a mirror
//                                        switched to "no answer" refuses
//                                        every connection
//                   GET vidralo/index.json   the update index
//                   GET gonggao.json     the notices
//                   GET tool/ad1.gif .. tool/ad17.gif   small pictures
//                   GET files/NAME       files for download, with Range
//                                        answers (206, Content-Range,
//                                        Content-Length) and fault switches
//   notification    GET /tongzhi?mubiao=..&title=..&body=..&sa=1 with the
//                   header "sign:" + md5(salt + t) + "@" + t
//   quotation       GET /?encode=text: one UTF-8 sentence
//   IP lookup       GET / a home page embedding the answer page in an
//                   iframe; the answer page's title carries
//                   "您的IP地址是：" + the address
//
// Every request any service receives is recorded before it is answered, so a
// test can read it as soon as its own request has returned.
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace vidralo::sim {

enum class ServiceKind { Mirror1, Mirror2, Mirror3, Notification, Quotation, IpLookup };

// What a mirror does with "test.txt".
enum class MirrorProbe { Ok, OtherText, NoAnswer };

// Switches for the download files; they apply to the next request.
struct DownloadFaults {
  bool ignoreRange = false;     // 200 with the whole file, whatever was asked
  bool overlongRange = false;   // a correct 206 head, then more bytes than the block
  bool gzipWhenAccepted = false;  // compress whenever the request accepts gzip
  bool cutMidRange = false;     // no length, and the connection closed halfway through a range
  std::int64_t throttleBytesPerSecond = 0;  // 0: as fast as the socket takes it
};

struct RecordedRequest {
  ServiceKind service = ServiceKind::Mirror1;
  std::string method;
  std::string path;
  std::multimap<std::string, std::string> params;   // query, percent-decoded
  std::multimap<std::string, std::string> headers;  // names as sent
  std::string header(const std::string& name) const;  // first value, any case
};

// One request of the notification service.
struct Notification {
  std::string recipient;  // "mubiao"
  std::string title;      // percent-decoded, so the GBK bytes the program encoded
  std::string body;
  std::string signHeader;  // the "sign" header's value, as sent
  bool signValid = false;
};

// The salt of the notification signature.
inline constexpr const char* kNotificationSalt = "qorbanext41728m%%&&508";

// "sign:" header value check: 32 lower-case hex digits of MD5(salt + t), "@",
// and the same 10-digit time stamp t.
bool notificationSignValid(const std::string& signValue);

class SimulatedServices {
 public:
  SimulatedServices();
  ~SimulatedServices();
  SimulatedServices(const SimulatedServices&) = delete;
  SimulatedServices& operator=(const SimulatedServices&) = delete;

  // Starts every service on 127.0.0.1; each takes `firstPort` + its index
  // (mirror 1 is index 0) or, with 0, any free port.
  bool start(int firstPort = 0);
  void stop();

  // "http://127.0.0.1:PORT/" of mirror 1, 2 or 3.
  std::string mirrorBase(int mirror) const;
  // "http://127.0.0.1:PORT/tongzhi"
  std::string notificationUrl() const;
  // "http://127.0.0.1:PORT/" (the program appends "?encode=text")
  std::string quotationUrl() const;
  // "http://127.0.0.1:PORT" (plain http, empty path)
  std::string ipLookupUrl() const;
  int port(ServiceKind service) const;

  // NoAnswer switches the mirror off (connections refused) until it is
  // switched back to Ok or OtherText; its address stays the same.
  void setMirrorProbe(int mirror, MirrorProbe probe);
  // The texts of vidralo/index.json and gonggao.json (every mirror).
  void setUpdateIndex(std::string json);
  void setNotices(std::string json);
  void setQuotation(std::string sentence);
  // The address the IP lookup reports; empty: the caller's own address.
  void setPublicIp(std::string address);

  // Serves `bytes` at files/NAME on every mirror; mirrorBase(1) + "files/" +
  // name is its address.
  void addFile(const std::string& name, std::string bytes);
  std::string fileUrl(const std::string& name, int mirror = 1) const;
  void setDownloadFaults(const DownloadFaults& faults);

  std::vector<RecordedRequest> requests() const;
  std::vector<RecordedRequest> requests(ServiceKind service) const;
  std::vector<Notification> notifications() const;
  void clearRequests();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// The default texts, as served until replaced.
std::string defaultUpdateIndex(const std::string& primaryBase);
std::string defaultNotices();

}  // namespace vidralo::sim
