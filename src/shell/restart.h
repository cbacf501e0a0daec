#pragma once
// The program's own restart: a small shell script in the program directory
// waits, deletes itself and starts the program again with the command line
// it was started with.
#include <string>
#include <vector>

namespace vidralo {

// Keeps the command line for a restart; called first thing in main, before
// any argument is taken out.
void rememberCommandLine(int argc, char** argv);
// The arguments after the program name, as remembered.
std::vector<std::string> rememberedArguments();

// `text` in single quotes, safe as one word of a POSIX shell whatever it
// contains.
std::string shellQuoted(const std::string& text);

// The text of "Restart.sh": wait `delaySeconds`, delete `scriptPath`, start
// `program` with `arguments`.
std::string restartScriptText(const std::string& scriptPath, const std::string& program,
                              const std::vector<std::string>& arguments, int delaySeconds);

// Writes "Restart.sh" into the program directory, starts it in a session of
// its own (it outlives the program) and ends the program at once with exit
// code 0, saving nothing. A delay below 1 second means 2. Returns only when
// no restart can follow: the program's file cannot be found, or the script
// cannot be written or started.
void restartAfterDelay(int delaySeconds = 0);

}  // namespace vidralo
