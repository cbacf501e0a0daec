#pragma once
// config.ini in the program directory: the hosts of the services the program
// talks to and the options of the browsers it starts. UTF-8, INI layout:
//
//   [hosts]
//   platform = https://creator.example.com
//   iplookup = http://ip.example.com
//   [http]
//   verify_tls = true
//   [browser]
//   headless = auto
//   args = --lang=zh-CN --disable-gpu
//
// The file is read on every lookup, so an edit takes effect without a
// restart; a missing file reads as empty values.
#include <string>
#include <string_view>
#include <vector>

namespace vidralo {

// programPath("\\config.ini")
std::string configFilePath();

// The value of `key` in `section` (both without regard to ASCII case), with
// blanks around it and one pair of enclosing double quotes removed; empty
// when the file, the section or the key is missing. The first occurrence
// counts.
std::string configValue(std::string_view section, std::string_view key);

// The same lookup in an INI text already in memory.
std::string iniValue(std::string_view iniText, std::string_view section, std::string_view key);

// "scheme://host[:port]" in the canonical form a browser reports: scheme
// http or https and host in lower case, an international host name in its
// ASCII form, no default port (80, 443), no trailing "/"; empty when `text`
// is anything else (a path, a query, user data, a bad port).
std::string normalizedOrigin(std::string_view text);

// The creator upload page on the configured platform host; empty when
// [hosts] platform is missing or not an http/https origin.
std::string uploadPageUrl();

// The home page of the public IP-lookup site, [hosts] iplookup; empty when
// missing or not an http/https origin.
std::string ipLookupUrl();

// [http] verify_tls: "false" (also 0, no) turns certificate checks off for
// hosts with self-signed certificates; anything else keeps them on.
bool httpVerifyTls();

enum class HeadlessMode { Auto, On, Off };

// [browser] headless: "true" / "false" (also 1/0, yes/no); anything else,
// "auto" included, is Auto: headless when there is no display.
HeadlessMode browserHeadlessMode();

// [browser] args split at blanks.
std::vector<std::string> browserExtraArguments();

}  // namespace vidralo
