#include "common/command_runner.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "common/stop.h"

extern char** environ;

namespace vidralo {
namespace {

// Reads what the child writes until it closes its end, the time is up or a
// stop is requested; false in the last two cases.
bool readUntilClosed(int fd, std::string& output, std::chrono::steady_clock::time_point deadline) {
  char buffer[4096];
  while (true) {
    if (stopRequested() || std::chrono::steady_clock::now() >= deadline) return false;
    pollfd watched{fd, POLLIN, 0};
    if (::poll(&watched, 1, 100) <= 0) continue;
    const ssize_t count = ::read(fd, buffer, sizeof buffer);
    if (count <= 0) return true;
    output.append(buffer, static_cast<std::size_t>(count));
  }
}

}  // namespace

CommandResult runCommand(const std::vector<std::string>& arguments, std::chrono::milliseconds limit) {
  CommandResult result;
  if (arguments.empty()) return result;
  int pipeFds[2];
  if (::pipe2(pipeFds, O_CLOEXEC) != 0) return result;

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  std::vector<char*> argv;
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  pid_t pid = 0;
  const int spawned = ::posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(pipeFds[1]);
  if (spawned != 0) {
    ::close(pipeFds[0]);
    return result;
  }
  result.started = true;

  const auto deadline = std::chrono::steady_clock::now() + limit;
  const bool closed = readUntilClosed(pipeFds[0], result.output, deadline);
  ::close(pipeFds[0]);
  // A command that closed its output may still run on: it gets the rest of
  // its time to exit, in small steps so a stop is noticed.
  int status = 0;
  pid_t waited = 0;
  while (closed && (waited = ::waitpid(pid, &status, WNOHANG)) == 0 && !stopRequested() &&
         std::chrono::steady_clock::now() < deadline)
    ::usleep(10'000);
  if (waited != pid) {
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &status, 0);
    return result;
  }
  if (WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
  return result;
}

}  // namespace vidralo
