// Appends its arguments to "runs.log" in its program directory. The first run
// restarts itself after a second; a run that ends normally appends "saved",
// as a program saving its state on exit would.
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "common/program_dir.h"
#include "shell/restart.h"

namespace {

std::string logPath() { return vidralo::programPath("\\runs.log"); }

void append(const std::string& line) { std::ofstream(logPath(), std::ios::app) << line << "\n"; }

}  // namespace

int main(int argc, char** argv) {
  vidralo::rememberCommandLine(argc, argv);
  for (int i = 1; i + 1 < argc; ++i)
    if (std::strcmp(argv[i], "--dir") == 0) vidralo::setProgramDirectory(argv[i + 1]);
  std::atexit([] { append("saved"); });
  const bool firstRun = !std::ifstream(logPath()).good();
  std::string line;
  for (const std::string& argument : vidralo::rememberedArguments()) line += "[" + argument + "]";
  append(line);
  if (firstRun) vidralo::restartAfterDelay(1);
  return 0;
}
