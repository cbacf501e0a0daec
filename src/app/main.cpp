#include "app/runtime/headless_run.h"
#include "app/startup.h"
#include "common/program_dir.h"
#include "shell/restart.h"

int main(int argc, char** argv) {
  vidralo::rememberCommandLine(argc, argv);
  if (vidralo::isHeadlessRun(argc, argv)) {
    vidralo::initProgramDirectory(argc, argv);
    return vidralo::runHeadless(argc, argv);
  }
  return vidralo::startProgram(argc, argv);
}
