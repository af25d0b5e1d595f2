#pragma once
// The note that greets a new user. At the first start in a data folder (none yet, or an empty
// one) the program makes one ordinary note that tells, in Korean, how to make a note, where a
// note's menu is, how to see all notes and find one, and where the notes are kept. The user may
// edit or delete it like any other. A file beside the defaults file remembers that it was
// made, so it never comes back after the user deleted it; a folder that holds anything at all
// (notes from an older version or from Windows, a synchroniser's files) never gets one.

#include <QString>

namespace stikko {

enum class WelcomeNote {
    Made,          // the note's two files are in the data folder
    NotFirstStart, // the folder holds something, or a welcome note was made for it before
    NotWritten,    // it could not be written (`error` says why); nothing of it is left
};

// Makes the welcome note when this is the first start in the data folder; its files are then
// there for the start-up load to open. Call once at start, after the defaults are read and
// before the stored notes are opened.
WelcomeNote makeWelcomeNote(QString* error = nullptr);

// The file whose presence says that the data folder had its welcome note: in the storage
// folder's system/, beside the defaults file and not in data/, which people share between
// computers.
QString welcomeMarkerPath();

} // namespace stikko
