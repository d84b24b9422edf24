// Closing the program from outside, the orderly way: SIGINT (a terminal's Ctrl+C), SIGTERM
// (the session ending, a service manager, kill) and SIGHUP (the terminal going away) only
// ask the program to close. Its own loop notices the request, stops the machine as the Exit
// command does (the disk images are closed with everything the program wrote, the user
// settings file is rewritten) and then ends the process with FinishExitBySignal, so that
// whoever started it still sees which signal ended it. The same signal a second time ends
// the program at once, for a shutdown that hangs.
//
// The window program and the headless runner both use this piece; each watches the request
// in its own way: a loop asks IsExitRequested between its steps, a loop that sleeps waits
// on the descriptor (an event loop with a socket notifier, a poll with a timeout).
#pragma once

#include <cstdint>

// Installs the handlers of the three signals; false (with errno) when that fails. A signal
// that the process inherited as ignored stays ignored.
bool InstallExitSignalHandlers();
// Puts the default actions back and forgets a request (for tests).
void RemoveExitSignalHandlers();

// True once one of the signals arrived.
bool IsExitRequested();
// The signal that asked for the exit, or 0.
int GetExitSignal();
// Readable once a request arrived (and from then on); -1 before the handlers are installed.
int GetExitSignalDescriptor();

// Sleeps until the monotonic clock reaches `monotonicNs` or an exit is requested, whichever
// comes first; true when the exit request ended the sleep.
bool SleepUntilOrExitRequest(uint64_t monotonicNs);

// Ends the process as the signal that asked for the exit would have ended it (after the
// orderly part is done). Without a request it exits with status 1.
[[noreturn]] void FinishExitBySignal();
