#include "support/isolated_home.h"

#include <cstdlib>

namespace vidralo::test {
namespace {

std::string environmentValue(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

void restore(const char* name, const std::string& value) {
  if (value.empty())
    unsetenv(name);
  else
    setenv(name, value.c_str(), 1);
}

}  // namespace

IsolatedHome::IsolatedHome() : oldHome_(environmentValue("HOME")), oldConfig_(environmentValue("XDG_CONFIG_HOME")) {
  setenv("HOME", home_.path().c_str(), 1);
  setenv("XDG_CONFIG_HOME", home_.file(".config").c_str(), 1);
}

IsolatedHome::~IsolatedHome() {
  restore("HOME", oldHome_);
  restore("XDG_CONFIG_HOME", oldConfig_);
}

}  // namespace vidralo::test
