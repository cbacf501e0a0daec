#include "common/program_dir.h"

int main(int argc, char** argv) {
  vidralo::initProgramDirectory(argc, argv);
  return 0;
}
