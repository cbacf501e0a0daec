#include "common/app_config.h"

#include <algorithm>
#include <optional>
#include <sstream>

#include <QUrl>

#include "common/program_dir.h"
#include "common/text_rules.h"
#include "common/whole_file.h"

namespace vidralo {
namespace {

constexpr std::string_view kUploadPageSuffix = "/cgibin/recwxamanager/userclientjump?tag=uploadindex#/home";
constexpr std::string_view kBlanks = " \t\r\n";

std::string_view trimmed(std::string_view text) {
  const std::size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  const std::size_t last = text.find_last_not_of(kBlanks);
  return text.substr(first, last - first + 1);
}

char lowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::string lowered(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = lowerAscii(c);
  return out;
}

bool sameIgnoringCase(std::string_view a, std::string_view b) { return lowered(a) == lowered(b); }

std::string withoutQuotes(std::string_view value) {
  if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
  return std::string(value);
}

bool isHostCharacter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '.';
}

bool validPort(std::string_view port) {
  if (port.empty() || port.size() > 5) return false;
  for (char c : port) {
    if (c < '0' || c > '9') return false;
  }
  const int value = toInteger(port);
  return value >= 1 && value <= 65535;
}

// `host` in lower case, an international name turned into its ASCII form
// (IDNA); empty when it cannot be.
std::string asciiHost(std::string_view host) {
  const bool ascii = std::all_of(host.begin(), host.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  if (ascii) return lowered(host);
  const QByteArray ace = QUrl::toAce(QString::fromUtf8(host.data(), static_cast<qsizetype>(host.size())));
  return lowered(std::string_view(ace.constData(), static_cast<std::size_t>(ace.size())));
}

}  // namespace

std::string configFilePath() { return programPath("\\config.ini"); }

std::string iniValue(std::string_view iniText, std::string_view section, std::string_view key) {
  if (startsWith(iniText, "\xEF\xBB\xBF")) iniText.remove_prefix(3);
  bool inSection = false;
  while (!iniText.empty()) {
    const std::size_t end = std::min(iniText.find('\n'), iniText.size());
    const std::string_view line = trimmed(iniText.substr(0, end));
    iniText.remove_prefix(std::min(end + 1, iniText.size()));
    if (line.empty() || line.front() == ';' || line.front() == '#') continue;
    if (line.front() == '[') {
      const std::size_t close = line.find(']');
      inSection = close != std::string_view::npos && sameIgnoringCase(trimmed(line.substr(1, close - 1)), section);
      continue;
    }
    const std::size_t equals = line.find('=');
    if (!inSection || equals == std::string_view::npos) continue;
    if (sameIgnoringCase(trimmed(line.substr(0, equals)), key)) return withoutQuotes(trimmed(line.substr(equals + 1)));
  }
  return {};
}

std::string configValue(std::string_view section, std::string_view key) {
  // A missing or unreadable file reads as empty.
  std::string text;
  readWholeFile(configFilePath(), text);
  return iniValue(text, section, key);
}

std::string normalizedOrigin(std::string_view text) {
  text = trimmed(text);
  const std::size_t schemeEnd = text.find("://");
  if (schemeEnd == std::string_view::npos) return {};
  const std::string scheme = lowered(text.substr(0, schemeEnd));
  if (scheme != "http" && scheme != "https") return {};
  std::string_view authority = text.substr(schemeEnd + 3);
  if (endsWith(authority, "/")) authority.remove_suffix(1);

  // The form a browser reports for the same origin: host in lower case (an
  // international name in its ASCII form), no port where it is the
  // scheme's default.
  const std::size_t colon = authority.find(':');
  const std::string host = asciiHost(authority.substr(0, colon));
  if (host.empty() || host.front() == '.' || host.front() == '-') return {};
  for (char c : host) {
    if (!isHostCharacter(c)) return {};
  }
  std::string origin = scheme + "://" + host;
  if (colon == std::string_view::npos) return origin;
  const std::string_view port = authority.substr(colon + 1);
  if (!validPort(port)) return {};
  const int number = toInteger(port);
  if (number != (scheme == "http" ? 80 : 443)) origin += ":" + std::to_string(number);
  return origin;
}

std::string uploadPageUrl() {
  const std::string origin = normalizedOrigin(configValue("hosts", "platform"));
  return origin.empty() ? origin : origin + std::string(kUploadPageSuffix);
}

namespace {

// true / 1 / yes and false / 0 / no; anything else is no choice.
std::optional<bool> configFlag(std::string_view section, std::string_view key) {
  const std::string value = lowered(configValue(section, key));
  if (value == "true" || value == "1" || value == "yes") return true;
  if (value == "false" || value == "0" || value == "no") return false;
  return std::nullopt;
}

}  // namespace

std::string ipLookupUrl() { return normalizedOrigin(configValue("hosts", "iplookup")); }

bool httpVerifyTls() { return configFlag("http", "verify_tls").value_or(true); }

HeadlessMode browserHeadlessMode() {
  const std::optional<bool> headless = configFlag("browser", "headless");
  if (!headless) return HeadlessMode::Auto;
  return *headless ? HeadlessMode::On : HeadlessMode::Off;
}

std::vector<std::string> browserExtraArguments() {
  std::vector<std::string> arguments;
  std::istringstream words(configValue("browser", "args"));
  for (std::string word; words >> word;) arguments.push_back(word);
  return arguments;
}

}  // namespace vidralo
