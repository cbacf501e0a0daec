#include <string_view>

#include "app/fault_reporter_run.h"
#include "app/runtime/headless_run.h"
#include "app/startup.h"
#include "common/program_dir.h"
#include "shell/restart.h"

int main(int argc, char** argv) {
  if (argc == 3 && std::string_view(argv[1]) == "--report-fault") return vidralo::runFaultReporter(argv[2]);
  vidralo::rememberCommandLine(argc, argv);
  if (vidralo::isHeadlessRun(argc, argv)) {
    vidralo::initProgramDirectory(argc, argv);
    return vidralo::runHeadless(argc, argv);
  }
  return vidralo::startProgram(argc, argv);
}
