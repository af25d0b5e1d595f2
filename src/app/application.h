#pragma once
// The program from start to end: the single-instance guard, the application object, the data
// module, the hidden main form, and the one orderly ending for every way the program is asked
// to stop (the tray's exit, the desktop's log-out, SIGTERM/SIGINT/SIGHUP).

namespace stikko {

// Returns the process exit code, which is always 0.
int runStikko(int argc, char** argv);

// Font families the notes name, mapped to the Korean fonts installed here.
void installFontSubstitutions();

} // namespace stikko
