// vidralo-platform-sim: serves the simulated creator upload page until
// interrupted. Prints its origin (for config.ini [hosts] platform) first.
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>

#include "common/text_rules.h"
#include "simulator/simulated_platform.h"

namespace {

constexpr const char* kUsage =
    "Usage: vidralo-platform-sim [--port N]\n"
    "Serves the simulated creator upload page on 127.0.0.1 until SIGINT or SIGTERM\n"
    "and prints its origin, for config.ini [hosts] platform.\n\n"
    "Options:\n"
    "  --port N    listen on port N (default: any free port)\n"
    "  -h, --help  show this help and exit\n\n"
    "Log a browser profile in at ORIGIN/login?nickname=NAME; read what was published at\n"
    "ORIGIN/sim/publications; switch faults at ORIGIN/sim/faults (readyDelayMs, throttle,\n"
    "neverComplete, alertOnLoad, hideNickname, refusePublish). A browser that is not logged in\n"
    "sees the log-in page; ORIGIN/sim/logins lists its code, ORIGIN/sim/login/confirm?code=CODE&nickname=NAME\n"
    "completes that log-in, ORIGIN/sim/expire?nickname=NAME ends one.\n";

}  // namespace

int main(int argc, char** argv) {
  int port = 0;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--port") == 0 && i + 1 < argc) {
      port = vidralo::toInteger(argv[++i]);
    } else if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::printf("%s", kUsage);
      return 0;
    } else {
      std::fprintf(stderr, "%s", kUsage);
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
