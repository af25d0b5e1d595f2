#pragma once
// The registry operations the dialogs need from the program's main form. The dialogs sit
// below the application layer, so they reach the open note windows only through this
// interface; the main form implements it, tests give a recording fake.

namespace stikko {

class NoteRegistry {
public:
    virtual ~NoteRegistry() = default;

    // Opens the window of a stored note and writes isshow 1; nothing when it is open already.
    virtual void OpenNoteWindow(const char* id) = 0;
    // Hides an open note: isshow 0, its window closes and stores itself; nothing when not open.
    virtual void CloseNoteWindow(const char* id) = 0;
    // Moves the note's two files to the trash (or removes them) and closes an open window
    // without storing anything. False when the files could not be removed (the user is told).
    virtual bool DeleteNote(const char* id) = 0;
};

} // namespace stikko
