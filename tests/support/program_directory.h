#pragma once
// Points the program directory at a folder for the life of the object and
// back where it was afterwards, so that no test leaves it at a folder that
// is about to be removed.
#include <string>

#include "common/program_dir.h"

namespace vidralo::test {

class ProgramDirectoryIn {
 public:
  explicit ProgramDirectoryIn(const std::string& folder) : previous_(programDirectory()) {
    setProgramDirectory(folder);
  }
  ~ProgramDirectoryIn() { setProgramDirectory(previous_); }
  ProgramDirectoryIn(const ProgramDirectoryIn&) = delete;
  ProgramDirectoryIn& operator=(const ProgramDirectoryIn&) = delete;

 private:
  std::string previous_;
};

}  // namespace vidralo::test
