// vidralo-services-sim: serves the simulated online services until
// interrupted. Prints the address of each service first, one per line as
// "NAME ADDRESS", for config.ini and for scripts.
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>

#include "common/text_rules.h"
#include "common/whole_file.h"
#include "services_sim/simulated_services.h"

namespace {

int usage(const char* program) {
  std::fprintf(stderr, "usage: %s [--port FIRST] [--file NAME=PATH]...\n", program);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  using vidralo::sim::SimulatedServices;
  SimulatedServices services;
  int firstPort = 0;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--port") == 0 && i + 1 < argc) {
      firstPort = vidralo::toInteger(argv[++i]);
    } else if (std::strcmp(argv[i], "--file") == 0 && i + 1 < argc) {
      const std::string option = argv[++i];
      const std::size_t equals = option.find('=');
      std::string bytes;
      if (equals == std::string::npos || vidralo::readWholeFile(option.substr(equals + 1), bytes) != vidralo::ReadOutcome::Read) {
        std::fprintf(stderr, "cannot read %s\n", option.c_str());
        return 1;
      }
      services.addFile(option.substr(0, equals), std::move(bytes));
    } else {
      return usage(argv[0]);
    }
  }

  // The signals are taken synchronously below, so block them before the
  // servers' threads start and inherit the mask.
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);

  if (!services.start(firstPort)) {
    std::fprintf(stderr, "cannot listen on 127.0.0.1 (first port %d)\n", firstPort);
    return 1;
  }
  std::printf("mirror1 %s\nmirror2 %s\nmirror3 %s\nnotification %s\nquotation %s\niplookup %s\n",
              services.mirrorBase(1).c_str(), services.mirrorBase(2).c_str(), services.mirrorBase(3).c_str(),
              services.notificationUrl().c_str(), services.quotationUrl().c_str(), services.ipLookupUrl().c_str());
  std::fflush(stdout);

  int received = 0;
  sigwait(&signals, &received);
  services.stop();
  return 0;
}
