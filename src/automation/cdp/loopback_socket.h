#pragma once
// Plain TCP sockets to the browser's debugging port, with time limits that
// a stop request cuts short. Writes never raise SIGPIPE: a browser that went
// away must not take the program with it.
#include <chrono>
#include <string>
#include <string_view>

namespace vidralo::cdp {

using Deadline = std::chrono::steady_clock::time_point;

// A blocking, connected socket to host:port, or -1 with the reason in
// `error`. Writes on it wait at most `sendLimit` for a reader that stalls.
int connectSocket(const std::string& host, const std::string& port, Deadline deadline,
                  std::chrono::seconds sendLimit, std::string& error);

// Waits until `fd` is readable (or writable); false at the deadline or a stop.
bool waitReadable(int fd, Deadline deadline, std::string& error);

bool sendAll(int fd, std::string_view bytes);

// The value of header `name` (any case) in the head of an HTTP answer,
// blanks around it removed; empty when the head has no such header.
std::string headerValue(const std::string& head, std::string_view name);

}  // namespace vidralo::cdp
