#pragma once
// `vidralo --check-logins`: opens each account's profile on the upload page
// (headless without a display; a browser already running on the profile is
// taken over, as the job does, and left running) and prints per account
// 已登录（nickname）, 未登录 or 记录无法读取.
namespace vidralo {

// The program directory is chosen already. Exit codes: 0 when every account
// is logged in, 10 otherwise, 3 and 4 as for the headless run.
int runCheckLogins(int argc, char** argv);

}  // namespace vidralo
