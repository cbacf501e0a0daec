#include "services_sim/download_answer.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <optional>
#include <thread>

#include "common/gzip.h"
#include "common/text_rules.h"

namespace vidralo::sim {
namespace {

constexpr std::size_t kPiece = 256 * 1024;
constexpr std::int64_t kPacesPerSecond = 20;
constexpr std::size_t kOverlongExtra = 4096;

struct ByteRange {
  std::int64_t first = 0;
  std::int64_t last = 0;  // inclusive
  std::int64_t length() const { return last - first + 1; }
};

std::optional<std::int64_t> digitsValue(std::string_view text) {
  if (text.empty() || text.size() > 18 || !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
    return std::nullopt;
  return toInteger(text);
}

// "bytes=A-B", "bytes=A-" or "bytes=-N", clipped to the file. nullopt: no
// usable single range (the whole file is sent); a range wholly past the end
// gives first > last.
std::optional<ByteRange> requestedRange(std::string_view header, std::int64_t size) {
  constexpr std::string_view kUnit = "bytes=";
  while (!header.empty() && header.front() == ' ') header.remove_prefix(1);
  if (!startsWith(header, kUnit)) return std::nullopt;
  header.remove_prefix(kUnit.size());
  const std::size_t dash = header.find('-');
  if (dash == std::string_view::npos || header.find(',') != std::string_view::npos) return std::nullopt;
  const auto first = digitsValue(header.substr(0, dash));
  const auto last = digitsValue(header.substr(dash + 1));
  if (!first && !last) return std::nullopt;
  if (!first) return ByteRange{std::max<std::int64_t>(0, size - *last), size - 1};
  if (last && *last < *first) return std::nullopt;
  return ByteRange{*first, std::min(last.value_or(size - 1), size - 1)};
}

// Sends `body` (a view into `owner`) in pieces, paced when throttled; stops
// after `sendLimit` bytes, which then ends the connection short of the
// announced length.
void provideBody(httplib::Response& response, std::shared_ptr<const std::string> owner, std::string_view body,
                 std::size_t sendLimit, std::int64_t bytesPerSecond, const std::atomic<bool>& stopping) {
  const std::size_t piece =
      bytesPerSecond > 0 ? std::clamp<std::size_t>(bytesPerSecond / kPacesPerSecond, 1, kPiece) : kPiece;
  response.set_content_provider(
      "application/octet-stream",
      [owner, body, sendLimit, piece, bytesPerSecond, &stopping](std::size_t offset, httplib::DataSink& sink) {
        if (offset >= sendLimit) {
          if (sendLimit < body.size()) return false;  // cut: close without the rest
          sink.done();
          return true;
        }
        if (bytesPerSecond > 0) {
          std::this_thread::sleep_for(std::chrono::milliseconds(1000 / kPacesPerSecond));
          if (stopping) return false;
        }
        const std::size_t count = std::min(piece, sendLimit - offset);
        return sink.write(body.data() + offset, count);
      });
}

}  // namespace

void answerDownload(const httplib::Request& request, httplib::Response& response,
                    std::shared_ptr<const std::string> file, const DownloadFaults& faults,
                    const std::atomic<bool>& stopping) {
  const auto size = static_cast<std::int64_t>(file->size());
  response.set_header("Accept-Ranges", "bytes");
  std::optional<ByteRange> range;
  if (!faults.ignoreRange && request.has_header("Range")) range = requestedRange(request.get_header_value("Range"), size);
  if (range && range->first > range->last) {
    response.status = 416;
    response.set_header("Content-Range", "bytes */" + numberToText(size));
    return;
  }

  std::shared_ptr<const std::string> owner = file;
  std::string_view body(*file);
  if (range) {
    response.status = 206;
    response.set_header("Content-Range", "bytes " + numberToText(range->first) + "-" + numberToText(range->last) + "/" +
                                             numberToText(size));
    body = body.substr(range->first, range->length());
    if (faults.overlongRange) {
      auto longer = std::make_shared<std::string>(body);
      longer->append(kOverlongExtra, 'X');
      owner = longer;
      body = *longer;
    }
  } else {
    response.status = 200;
  }
  if (faults.gzipWhenAccepted && request.get_header_value("Accept-Encoding").find("gzip") != std::string::npos) {
    auto packed = std::make_shared<std::string>(gzipped(body));
    response.set_header("Content-Encoding", "gzip");
    owner = packed;
    body = *packed;
  }
  // A cut answer carries no length, so only a client that counts the bytes
  // against its range can tell it from a complete one.
  const bool cut = faults.cutMidRange && range;
  if (!cut) response.set_header("Content-Length", numberToText(static_cast<std::int64_t>(body.size())));
  const std::size_t sendLimit = cut ? body.size() / 2 : body.size();
  provideBody(response, owner, body, sendLimit, faults.throttleBytesPerSecond, stopping);
}

}  // namespace vidralo::sim
