#pragma once
// The online services' places in start-up: the start window with its start
// sequence, and the version line of the main window.
#include <string>
#include <vector>

#include "online/update_flow.h"

namespace vidralo {

class Dialogs;
class Program;

// The update flow's services in the program: BlockDownloader, the desktop
// entry with the program's icon, and a detached start in the program folder.
UpdateServices programUpdateServices();

struct StartWindowSetup {
  // nullptr: message boxes owned by the start window.
  Dialogs* dialogs = nullptr;
  // The fault reporter's command line; empty: this program with
  // "--report-fault".
  std::vector<std::string> reporterCommand;
};

// Shows the start window, waits 1000 ms while it serves its events, then
// runs the start sequence: run-log line, fault reporter, title, disclaimer,
// run-log line, and the threads of the online steps and of the notices.
// Returns without waiting for them; the main window comes afterwards.
void openStartWindow(Program& program, const StartWindowSetup& setup = {});

// The thread that keeps the version line in part 3 of the main window's
// status bar.
void startUpdateCheckThread(Program& program);

}  // namespace vidralo
