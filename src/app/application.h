#pragma once
// The program from start to end: the single-instance guard, the application object, the data
// module, the hidden main form, and the one orderly ending for every way the program is asked
// to stop (the tray's exit, the desktop's log-out, SIGTERM/SIGINT/SIGHUP).

#include <QByteArray>

namespace stikko {

// Returns the process exit code: 0, 2 for a command line that is wrong (nothing was started),
// 1 for a command that could not be carried out.
int runStikko(int argc, char** argv);

// Sets up the C library's heap for the program's large bodies (see its definition); called
// first thing in the program and in whatever stands in for it (the benchmarks).
void tuneHeap();

// Qt's own dialogs (Yes/No, colour, font, file, print preview) in Korean, from Qt's
// translations; false when they are not installed (the dialogs then stay in English).
bool installQtTranslations();

// The Qt platform to run on, from the session's environment: in a Wayland session with
// XWayland (DISPLAY set) the program runs through X11, where a window may place itself and
// stay on top; without XWayland it runs on Wayland itself. A platform the user chose
// (QT_QPA_PLATFORM) is kept. Empty: leave the choice to Qt.
QByteArray platformForSession(const QByteArray& sessionType, const QByteArray& waylandDisplay,
                              const QByteArray& x11Display, const QByteArray& chosen);

} // namespace stikko
