#include "network/dial_names.h"

#include "network/broadband_dialer.h"

namespace vidralo {

std::string_view withoutBlanks(std::string_view name) {
  constexpr std::string_view fullWidth = "\xE3\x80\x80";
  while (true) {
    if (name.starts_with(' ')) name.remove_prefix(1);
    else if (name.starts_with(fullWidth)) name.remove_prefix(fullWidth.size());
    else if (name.ends_with(' ')) name.remove_suffix(1);
    else if (name.ends_with(fullWidth)) name.remove_suffix(fullWidth.size());
    else return name;
  }
}

void defaultBlankEntry(std::string& entry) {
  if (withoutBlanks(entry).empty()) entry = kDefaultDialEntry;
}

}  // namespace vidralo
