#pragma once
// `vidralo --login ID [--login-wait N]`: opens the account's browser on the
// upload page so that someone can log it in. With a display the browser is
// visible, as 配置登陆此账号 opens it; without one it runs headless and the
// page's picture goes to "\logs\login-ID.png" every 2 seconds (a platform's
// log-in page shows a code to scan with a phone), its path printed once.
// Ends when the page shows the upload marker (the nickname is then read
// into the list and the record), on SIGINT or SIGTERM, or after N seconds.
#include <string>

namespace vidralo {

// The program directory is chosen already. Exit codes: 0 logged in, 11 timed
// out, 12 stopped (or the browser was closed), 13 no such account, 3 and 4
// as for the headless run.
int runLogin(int argc, char** argv, const std::string& accountId, int waitSeconds);

// "\logs\login-" + id + ".png" under the program directory.
std::string loginPicturePath(const std::string& accountId);

}  // namespace vidralo
