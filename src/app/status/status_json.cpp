#include "app/status/status_json.h"

#include <rapidjson/writer.h>

#include <filesystem>

namespace vidralo {
namespace {

// Writes straight into the answer's string: no buffer that doubles and is
// then copied.
struct StringOutput {
  using Ch = char;
  std::string& text;
  void Put(char c) { text.push_back(c); }
  void Flush() {}
};

using Writer = rapidjson::Writer<StringOutput>;

void field(Writer& out, const char* name, const std::string& value) {
  out.Key(name);
  out.String(value.data(), static_cast<rapidjson::SizeType>(value.size()));
}

void field(Writer& out, const char* name, std::int64_t value) {
  out.Key(name);
  out.Int64(value);
}

void field(Writer& out, const char* name, bool value) {
  out.Key(name);
  out.Bool(value);
}

void writeRow(Writer& out, const HistoryRow& row) {
  out.StartObject();
  field(out, "time", row.time);
  field(out, "account", row.accountId);
  field(out, "nickname", row.nickname);
  field(out, "video", row.videoPath);
  field(out, "size", row.videoSize);
  field(out, "title", row.title);
  field(out, "outcome", std::string(outcomeKey(row.outcome)));
  field(out, "step", row.step);
  field(out, "reason", row.reason);
  field(out, "evidence", evidenceLink(row.evidencePath));
  field(out, "seconds", row.seconds);
  out.EndObject();
}

// An account's last publication or failure: only what its row shows, since
// a list of thousands of accounts is sent every two seconds.
void writeLast(Writer& out, const char* name, const LastEvent* row, bool failure) {
  out.Key(name);
  if (!row) {
    out.Null();
    return;
  }
  out.StartObject();
  field(out, "time", row->time);
  field(out, "title", row->title);
  if (failure) {
    field(out, "step", row->step);
    field(out, "reason", row->reason);
    field(out, "evidence", evidenceLink(row->evidencePath));
  }
  out.EndObject();
}

void writeJob(Writer& out, const JobView& job) {
  out.Key("job");
  out.StartObject();
  field(out, "running", job.running);
  field(out, "forbiddenUntil", job.forbiddenUntil);
  field(out, "nextRoundAt", job.nextRoundAt);
  field(out, "account", job.accountId);
  field(out, "video", job.video);
  field(out, "elapsedSeconds", static_cast<std::int64_t>(job.elapsedSeconds));
  out.EndObject();
}

void writeAccount(Writer& out, const AccountView& account) {
  out.StartObject();
  field(out, "id", account.id);
  field(out, "nickname", account.nickname);
  field(out, "loggedIn", account.loggedIn);
  field(out, "status", account.status);
  field(out, "publishing", account.publishing);
  field(out, "publishedToday", account.publishedToday);
  field(out, "loginPicture", account.waitingForLogin ? "/login-picture/" + account.id : std::string());
  writeLast(out, "lastPublished", account.lastPublished, false);
  writeLast(out, "lastFailed", account.lastFailed, true);
  out.EndObject();
}

void writeRows(Writer& out, const std::vector<HistoryRow>& rows) {
  out.StartArray();
  for (const HistoryRow& row : rows) writeRow(out, row);
  out.EndArray();
}

}  // namespace

std::string evidenceLink(const std::string& evidencePath) {
  if (evidencePath.empty()) return {};
  return "/evidence/" + std::filesystem::path(evidencePath).filename().string();
}

std::string statusJson(const StatusSnapshot& snapshot) {
  std::string text;
  // About what an account takes, so the string grows a few times at most.
  text.reserve(512 + 320 * snapshot.accounts.size() + 320 * snapshot.history.latest.size());
  StringOutput output{text};
  Writer out(output);
  out.StartObject();
  field(out, "time", snapshot.takenAt);
  writeJob(out, snapshot.job);
  field(out, "browsersRunning", static_cast<std::int64_t>(snapshot.browsersRunning));
  out.Key("accounts");
  out.StartArray();
  for (const AccountView& account : snapshot.accounts) writeAccount(out, account);
  out.EndArray();
  out.Key("history");
  writeRows(out, snapshot.history.latest);
  out.EndObject();
  return text;
}

std::string historyJson(const std::vector<HistoryRow>& rows) {
  std::string text;
  StringOutput output{text};
  Writer out(output);
  writeRows(out, rows);
  return text;
}

}  // namespace vidralo
