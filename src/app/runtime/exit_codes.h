#pragma once
// The exit codes of the program, one per way a start can fail, so scripts and
// service managers can tell them apart.
namespace vidralo {

inline constexpr int kExitOk = 0;
inline constexpr int kExitBadArguments = 2;  // unknown option, control or value
inline constexpr int kExitNoPlatform = 3;    // no [hosts] platform in config.ini
inline constexpr int kExitNoBrowser = 4;     // no usable browser
inline constexpr int kExitNoDisplay = 5;     // the window was asked for where there is no display
inline constexpr int kExitBadDirectory = 6;  // --dir names a missing folder or a file
inline constexpr int kExitDemoFailed = 7;    // the demo could not prepare its folder or its platform
inline constexpr int kExitSettingsNotSaved = 8;  // the control values could not be saved at the end
inline constexpr int kExitAnotherInstance = 9;   // another process holds the program directory
inline constexpr int kExitNotLoggedIn = 10;      // a run or --check-logins ended with accounts not logged in
inline constexpr int kExitLoginTimedOut = 11;    // --login: no log-in within --login-wait seconds
inline constexpr int kExitLoginStopped = 12;     // --login: stopped by Ctrl+C or SIGTERM, or its browser closed
inline constexpr int kExitCommandFailed = 13;  // --add-account, --login or --history: bad input, or it could not read or write
inline constexpr int kExitStatusRefused = 14;    // the status page cannot listen where config.ini says
inline constexpr int kExitJournalUnwritable = 15;  // the job ended: the publication journal cannot be written
inline constexpr int kExitDisclaimerNotSaved = 16;  // --accept-disclaimer could not write its marker

}  // namespace vidralo
