#pragma once
// A home folder of the test's own, so that configuration files and desktop
// entries the code writes stay out of the real one.
#include <string>

#include "support/temp_dir.h"

namespace vidralo::test {

// Sets HOME and XDG_CONFIG_HOME to a fresh folder while it lives.
class IsolatedHome {
 public:
  IsolatedHome();
  ~IsolatedHome();
  IsolatedHome(const IsolatedHome&) = delete;
  IsolatedHome& operator=(const IsolatedHome&) = delete;
  const TempDir& folder() const { return home_; }

 private:
  TempDir home_;
  std::string oldHome_, oldConfig_;
};

}  // namespace vidralo::test
