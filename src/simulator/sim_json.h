#pragma once
// Small JSON texts of the simulated platform's answers.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "simulator/simulated_platform.h"

namespace vidralo::sim {

// One flat JSON object, built member by member.
class JsonObjectText {
 public:
  JsonObjectText& add(std::string_view name, std::string_view value);
  JsonObjectText& add(std::string_view name, const char* value) { return add(name, std::string_view(value)); }
  JsonObjectText& add(std::string_view name, std::int64_t value);
  JsonObjectText& add(std::string_view name, bool value);
  JsonObjectText& addNull(std::string_view name);
  // The object's text. "<" is written as \u003c, so the text can sit inside
  // a <script> element without ending it.
  std::string text() const;

 private:
  void name(std::string_view member);
  std::string members_;
};

std::string publicationsJson(const std::vector<Publication>& publications);

// A JSON string literal of `value`, quotes included.
std::string jsonString(std::string_view value);

}  // namespace vidralo::sim
