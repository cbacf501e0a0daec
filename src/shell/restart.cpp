#include "shell/restart.h"

#include <spawn.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>

#include "common/program_dir.h"
#include "common/text_rules.h"
#include "log/file_replace.h"

extern char** environ;

namespace vidralo {
namespace {

constexpr int kDefaultDelaySeconds = 2;

std::mutex commandLineMutex;
std::vector<std::string> commandLine;

// Starts `script` with /bin/sh in a new session; the program's own
// descriptors (sockets, browser pipes) are not handed on.
bool startDetached(const std::string& script) {
  posix_spawnattr_t attributes;
  posix_spawn_file_actions_t actions;
  posix_spawnattr_init(&attributes);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);
  char shell[] = "/bin/sh";
  std::string path = script;
  char* arguments[] = {shell, path.data(), nullptr};
  pid_t child = 0;
  const int result = posix_spawn(&child, "/bin/sh", &actions, &attributes, arguments, environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  return result == 0;
}

}  // namespace

void rememberCommandLine(int argc, char** argv) {
  std::lock_guard lock(commandLineMutex);
  commandLine.assign(argv, argv + argc);
}

std::vector<std::string> rememberedArguments() {
  std::lock_guard lock(commandLineMutex);
  if (commandLine.empty()) return {};
  return {commandLine.begin() + 1, commandLine.end()};
}

std::string shellQuoted(const std::string& text) {
  std::string out = "'";
  for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

std::string restartScriptText(const std::string& scriptPath, const std::string& program,
                              const std::vector<std::string>& arguments, int delaySeconds) {
  std::string start = "exec " + shellQuoted(program);
  for (const std::string& argument : arguments) start += " " + shellQuoted(argument);
  // The script is read as it runs, but deleting it leaves the open file
  // readable, so it can go before the program replaces the shell.
  return "#!/bin/sh\nsleep " + numberToText(delaySeconds) + "\nrm -f -- " + shellQuoted(scriptPath) + "\n" + start +
         "\n";
}

void restartAfterDelay(int delaySeconds) {
  if (delaySeconds < 1) delaySeconds = kDefaultDelaySeconds;
  const std::string program = executablePath();
  if (program.empty() || !std::filesystem::is_regular_file(program)) return;
  const std::string script = programPath("\\Restart.sh");
  if (!replaceFileContents(script, restartScriptText(script, program, rememberedArguments(), delaySeconds), 0644))
    return;
  // Without a script that runs, ending would only make the program vanish.
  if (!startDetached(script)) {
    std::remove(script.c_str());
    return;
  }
  std::_Exit(0);
}

}  // namespace vidralo
