// vidralo-platform-sim: serves the simulated creator upload page until
// interrupted. Prints its origin (for config.ini [hosts] platform) first.
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>

#include "common/text_rules.h"
#include "simulator/simulated_platform.h"

int main(int argc, char** argv) {
  int port = 0;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--port") == 0 && i + 1 < argc) {
      port = vidralo::toInteger(argv[++i]);
    } else {
      std::fprintf(stderr, "usage: %s [--port N]\n", argv[0]);
      return 2;
    }
  }

  // The signals are taken synchronously below, so block them before the
  // server's threads start and inherit the mask.
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);

  vidralo::sim::SimulatedPlatform platform;
  if (!platform.start(port)) {
    std::fprintf(stderr, "cannot listen on 127.0.0.1:%d\n", port);
    return 1;
  }
  std::printf("%s\n", platform.origin().c_str());
  std::fflush(stdout);

  int received = 0;
  sigwait(&signals, &received);
  platform.stop();
  return 0;
}
