#pragma once
// Processes seen through /proc, for tests that must know what a browser left
// behind.
#include <sys/types.h>

#include <string>
#include <vector>

namespace vidralo::test {

struct ProcessLine {
  pid_t pid;
  std::string commandLine;  // arguments separated by blanks
};

// Live processes (zombies count as ended) whose command line contains `text`.
std::vector<ProcessLine> processesMentioning(const std::string& text);

// Makes the test program fail when, after its tests, a browser process is
// still running on a profile inside one of the temporary folders it made
// (such processes are then ended). Test mains call it before running.
void failWhenBrowsersAreLeftBehind();

// The temporary folders this test program made (TempDir records them).
void recordTemporaryFolder(const std::string& path);

}  // namespace vidralo::test
