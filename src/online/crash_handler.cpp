#include "online/crash_handler.h"

#include <execinfo.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <exception>
#include <filesystem>
#include <string_view>

#include "common/clock.h"
#include "common/program_dir.h"
#include "common/text_rules.h"
#include "common/whole_file.h"

extern char** environ;

namespace vidralo {
namespace {

constexpr int kCrashSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};
constexpr int kBacktraceDepth = 64;
constexpr std::string_view kRecordHead = "vidralo crash record\n";

// Prepared at installation, so that the handler needs no allocation.
struct Prepared {
  std::string recordPath;
  std::string recordHeader;  // head line and directory line
  std::vector<std::string> command;
  std::vector<char*> argv;
};
// Replaced whole by a later installation; the old one is never freed, since
// a handler may be reading it.
std::atomic<Prepared*> prepared{nullptr};
std::atomic<bool> handling{false};

const char* signalName(int signal) {
  switch (signal) {
    case SIGSEGV: return "SIGSEGV";
    case SIGBUS: return "SIGBUS";
    case SIGFPE: return "SIGFPE";
    case SIGILL: return "SIGILL";
    case SIGABRT: return "SIGABRT";
    default: return "SIGNAL";
  }
}

void writeAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t written = write(fd, data, size);
    if (written <= 0) return;
    data += written;
    size -= static_cast<std::size_t>(written);
  }
}

void writeText(int fd, const char* text) { writeAll(fd, text, std::strlen(text)); }

// Decimal digits without allocation.
void writeNumber(int fd, long long value) {
  char digits[24];
  int at = sizeof digits;
  const bool negative = value < 0;
  unsigned long long magnitude = negative ? 0ULL - static_cast<unsigned long long>(value) : value;
  do {
    digits[--at] = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  if (negative) digits[--at] = '-';
  writeAll(fd, digits + at, sizeof digits - static_cast<std::size_t>(at));
}

void writeRecord(const Prepared& ready, int number, const char* text) {
  const int fd = open(ready.recordPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) return;
  writeAll(fd, ready.recordHeader.data(), ready.recordHeader.size());
  writeText(fd, "number=");
  writeNumber(fd, number);
  writeText(fd, "\ntext-length=");
  writeNumber(fd, static_cast<long long>(std::strlen(text)));
  writeText(fd, "\ntext=");
  writeText(fd, text);
  writeText(fd, "\nbacktrace:\n");
  void* frames[kBacktraceDepth];
  backtrace_symbols_fd(frames, backtrace(frames, kBacktraceDepth), fd);
  close(fd);
}

// A plain clone: unlike fork() it runs no at-fork handlers, which could wait
// for a lock that the crashed thread holds (the allocator's, say).
void startReporter(const Prepared& ready) {
  const long child = syscall(SYS_clone, SIGCHLD, nullptr, nullptr, nullptr, nullptr);
  if (child != 0) return;
  setsid();  // the reporter outlives the crashed program and its terminal group
  execve(ready.argv[0], ready.argv.data(), environ);
  _exit(127);
}

// Once per process: a second fault while handling ends the process plainly.
void handleFatal(int number, const char* text) {
  const Prepared* ready = prepared.load();
  if (!ready || handling.exchange(true)) return;
  writeRecord(*ready, number, text);
  startReporter(*ready);
}

void onCrashSignal(int signal, siginfo_t*, void*) {
  const int savedErrno = errno;
  handleFatal(signal, signalName(signal));
  errno = savedErrno;
  // The default action is back (SA_RESETHAND); the signal raised again is
  // delivered when the handler returns and ends the process as it would have.
  raise(signal);
}

std::string currentExceptionText() {
  try {
    if (std::exception_ptr current = std::current_exception()) std::rethrow_exception(current);
  } catch (const std::exception& error) {
    return error.what();
  } catch (...) {
    return "未知异常";
  }
  return "std::terminate";
}

[[noreturn]] void onTerminate() {
  const std::string text = currentExceptionText();
  handleFatal(SIGABRT, text.c_str());
  std::abort();
}

std::string recordFileName() {
  const std::tm now = localNow();
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &now);
  return std::string("crash-") + stamp + "-" + numberToText(getpid()) + ".txt";
}

void installAlternateStack() {
  // A stack overflow leaves no stack for the handler; it runs on this one.
  static char stack[64 * 1024];
  stack_t alternate{};
  alternate.ss_sp = stack;
  alternate.ss_size = sizeof stack;
  sigaltstack(&alternate, nullptr);
}

}  // namespace

void installFaultReporter(std::vector<std::string> reporterCommand) {
  if (reporterCommand.empty()) reporterCommand = {executablePath(), "--report-fault"};
  std::error_code error;
  std::filesystem::create_directories(programPath("\\logs"), error);

  auto next = new Prepared;
  next->recordPath = programPath("\\logs\\" + recordFileName());
  next->recordHeader = std::string(kRecordHead) + "directory=" + programDirectory() + "\n";
  next->command = std::move(reporterCommand);
  next->command.push_back(next->recordPath);
  for (std::string& argument : next->command) next->argv.push_back(argument.data());
  next->argv.push_back(nullptr);
  prepared = next;

  // The first backtrace loads the unwinder; in the handler it must not.
  void* frames[1];
  backtrace(frames, 1);
  installAlternateStack();

  struct sigaction action {};
  action.sa_sigaction = onCrashSignal;
  action.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_RESETHAND;
  sigemptyset(&action.sa_mask);
  for (const int signal : kCrashSignals) sigaction(signal, &action, nullptr);
  std::set_terminate(onTerminate);
}

std::optional<CrashRecord> readCrashRecord(const std::string& path) {
  std::string text;
  readWholeFile(path, text);
  if (!startsWith(text, kRecordHead)) return std::nullopt;

  CrashRecord record;
  std::size_t at = kRecordHead.size();
  auto field = [&](std::string_view name) -> std::optional<std::string> {
    if (text.compare(at, name.size(), name) != 0) return std::nullopt;
    const std::size_t end = text.find('\n', at);
    if (end == std::string::npos) return std::nullopt;
    std::string value = text.substr(at + name.size(), end - at - name.size());
    at = end + 1;
    return value;
  };
  const auto directory = field("directory=");
  const auto number = field("number=");
  const auto length = field("text-length=");
  if (!directory || !number || !length || text.compare(at, 5, "text=") != 0) return std::nullopt;
  at += 5;
  const auto textSize = static_cast<std::size_t>(toInteger(*length));
  if (at + textSize > text.size()) return std::nullopt;
  record.programDirectory = *directory;
  record.errorNumber = toInteger(*number);
  record.errorText = text.substr(at, textSize);
  const std::size_t trace = text.find("backtrace:\n", at + textSize);
  if (trace != std::string::npos) record.backtrace = text.substr(trace + 11);
  return record;
}

}  // namespace vidralo
