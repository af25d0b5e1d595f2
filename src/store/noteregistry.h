#pragma once
// The registry of open note windows, by note id: the one interface through which a note window
// and the note manager show, hide and delete stored notes. The main form implements it (as
// part of NoteHost); tests give a recording fake. It sits with the store, below both users.

namespace stikko {

class NoteRegistry {
  public:
    virtual ~NoteRegistry() = default;

    // Opens the window of a stored note and writes isshow 1; nothing when it is open already.
    virtual void OpenNoteWindow(const char* id) = 0;
    // Hides an open note: its window closes, writing isshow 0; nothing when it is not open.
    virtual void CloseNoteWindow(const char* id) = 0;
    // Moves the note's two files to the trash (or removes them) and closes an open window
    // without writing anything. False when the files could not be removed (the user is told;
    // the note stays).
    virtual bool DeleteNote(const char* id) = 0;
};

} // namespace stikko
