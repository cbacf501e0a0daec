#include "online/crash_handler.h"

#include <execinfo.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
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
constexpr unsigned kHandlingSeconds = 2;  // then the process ends, record or not
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
// The first fatal signal and the thread handling it; 0 while there is none.
std::atomic<int> crashSignal{0};
std::atomic<long> crashThread{0};
// The copy buffer of the memory map; only the one handling thread uses it.
char mapsBuffer[4096];

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

long currentThread() { return syscall(SYS_gettid); }

void writeAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t written = write(fd, data, size);
    if (written < 0 && errno == EINTR) continue;
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

void writeAddress(int fd, const void* address) {
  char digits[2 + 2 * sizeof(std::uintptr_t) + 1];
  int at = sizeof digits;
  digits[--at] = '\n';
  auto value = reinterpret_cast<std::uintptr_t>(address);
  do {
    digits[--at] = "0123456789abcdef"[value & 0xf];
    value >>= 4;
  } while (value != 0);
  digits[--at] = 'x';
  digits[--at] = '0';
  writeAll(fd, digits + at, sizeof digits - static_cast<std::size_t>(at));
}

void copyMemoryMap(int fd) {
  const int maps = open("/proc/self/maps", O_RDONLY | O_CLOEXEC);
  if (maps < 0) return;
  for (;;) {
    const ssize_t got = read(maps, mapsBuffer, sizeof mapsBuffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    writeAll(fd, mapsBuffer, static_cast<std::size_t>(got));
  }
  close(maps);
}

// The frames are written as bare addresses with the memory map beside them
// ("addr2line -e FILE" with the address minus the mapping's start plus its
// offset names the function): turning them into names here would take the
// dynamic loader's lock (backtrace_symbols_fd does), which the thread that
// crashed or another one blocked on it may hold.
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
  const int depth = backtrace(frames, kBacktraceDepth);
  for (int i = 0; i < depth; ++i) writeAddress(fd, frames[i]);
  writeText(fd, "memory map:\n");
  copyMemoryMap(fd);
  close(fd);
}

// A plain clone: unlike fork() it runs no at-fork handlers, which could wait
// for a lock that the crashed thread holds (the allocator's, say). The
// crashed process never waits for the reporter.
void startReporter(const Prepared& ready) {
  const long child = syscall(SYS_clone, SIGCHLD, nullptr, nullptr, nullptr, nullptr);
  if (child != 0) return;
  // Nothing of the crashed program stays open in the reporter (its locks,
  // its browsers' pipes, its listening sockets) apart from the standard
  // streams, and no signal the crashed thread had blocked stays blocked.
  syscall(SYS_close_range, 3U, ~0U, 0U);
  sigset_t none;
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, nullptr);
  setsid();  // the reporter outlives the crashed program and its terminal group
  execve(ready.argv[0], ready.argv.data(), environ);
  _exit(127);
}

// Ends the process now as `signal`'s default action does, from any thread.
[[noreturn]] void endWith(int signal) {
  struct sigaction defaultAction {};
  defaultAction.sa_handler = SIG_DFL;
  sigemptyset(&defaultAction.sa_mask);
  sigaction(signal, &defaultAction, nullptr);
  syscall(SYS_tgkill, getpid(), currentThread(), signal);
  sigset_t only;
  sigemptyset(&only);
  sigaddset(&only, signal);
  sigprocmask(SIG_UNBLOCK, &only, nullptr);  // the pending signal ends the process here
  _exit(128 + signal);
}

void onHandlingTimeUp(int) { endWith(crashSignal.load()); }

// Whatever the handling gets stuck on (a lock, a full disk, a slow clone),
// the timer ends the process with the crash's own signal.
void limitHandlingTime() {
  struct sigaction action {};
  action.sa_handler = onHandlingTimeUp;
  action.sa_flags = SA_ONSTACK;
  sigfillset(&action.sa_mask);
  sigaction(SIGALRM, &action, nullptr);
  sigset_t alarmOnly;
  sigemptyset(&alarmOnly);
  sigaddset(&alarmOnly, SIGALRM);
  sigprocmask(SIG_UNBLOCK, &alarmOnly, nullptr);
  alarm(kHandlingSeconds);
}

// Records and reports the first fatal error of the process, then ends it
// with `signal`. A fault while doing so ends it at once with the first
// signal; a fault of another thread meanwhile waits for the first one to end
// the process.
[[noreturn]] void handleFatal(int signal, const char* text) {
  int first = 0;
  if (!crashSignal.compare_exchange_strong(first, signal)) {
    if (crashThread.load() == currentThread()) endWith(first);
    for (;;) pause();
  }
  crashThread = currentThread();
  limitHandlingTime();
  if (const Prepared* ready = prepared.load()) {
    writeRecord(*ready, signal, text);
    startReporter(*ready);
  }
  endWith(signal);
}

void onCrashSignal(int signal, siginfo_t*, void*) { handleFatal(signal, signalName(signal)); }

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

std::string installFaultReporter(std::vector<std::string> reporterCommand) {
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

  // The first backtrace loads the unwinder (dlopen, malloc); in the handler
  // it must not.
  void* frames[1];
  backtrace(frames, 1);
  installAlternateStack();

  struct sigaction action {};
  action.sa_sigaction = onCrashSignal;
  action.sa_flags = SA_SIGINFO | SA_ONSTACK;
  sigemptyset(&action.sa_mask);
  for (const int signal : kCrashSignals) sigaction(signal, &action, nullptr);
  std::set_terminate(onTerminate);
  return next->recordPath;
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
