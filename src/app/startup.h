#pragma once
// How the program comes up: the process entry and the two start-up events of
// the main window.
namespace vidralo {

class Program;

// The process entry. Command line: "--dir DIR" chooses the program
// directory; "--screenshot FILE" renders the started main window into a PNG
// file and returns instead of running the window. Returns the exit code.
int startProgram(int argc, char** argv);

// The main window's creation: caption, settings path, data folders, saved
// control values, engine, hot key.
void onMainWindowCreated(Program& program);

// The first tick of 时钟1, about one second later: the account list is
// reloaded on a thread of its own and the title settings are shown.
void onOneShotTimer(Program& program);

}  // namespace vidralo
