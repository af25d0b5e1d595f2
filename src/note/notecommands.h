#pragma once
// What a note can be told to do, in one table: the note menu (right click on the title bar's
// left picture), the editor menu (right click in the body), the tool bar and the editor's keys
// are all made from it. A command has a caption, a picture, a key, a handler, and a state: some
// are on or off (stay on top, bullets, bold, italic, underline), and those that change the body
// are off while the note is read-only. A menu item or a tool-bar control names the command it
// stands for, with its own object name and, where the layout gives it one, its own caption and
// picture.

#include <QKeyCombination>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace stikko {

class TfrmStikko_sub;

enum class NoteCommand : std::uint8_t {
    Settings,
    StayOnTop,
    Alarm,
    Cut,
    Copy,
    Paste,
    Print,
    Hide,
    Delete,
    Indent,
    Font,
    Bold,
    Italic,
    Underline,
    TextColor,
    Undo,
    Find, // the find window, for every note
};
inline constexpr std::size_t kNoteCommandCount = std::size_t(NoteCommand::Find) + 1;

inline constexpr QKeyCombination kNoKey{};

struct NoteCommandInfo {
    NoteCommand command;
    const char16_t* caption;
    int picture;         // icons::editIcon index; -1: none
    QKeyCombination key; // acts while the body has the focus; kNoKey: none
    void (TfrmStikko_sub::*run)();
    bool hasState;  // on or off: TfrmStikko_sub::isChecked
    bool editsBody; // unavailable while the note is read-only
};

// The command's row of the table.
const NoteCommandInfo& commandInfo(NoteCommand command);
// Every key a command has: the editor hands them over as commands instead of typing them.
std::span<const QKeyCombination> commandKeys();
// The command that has `key`; null when none has it.
const NoteCommandInfo* commandForKey(QKeyCombination key);

// An item of one of the two menus: its object name and its command, with its own caption and
// picture where they are not the command's (null; kCommandPicture), and a check mark where the
// menu shows the command's state. No command: a separator.
inline constexpr int kCommandPicture = -2;
struct MenuItem {
    const char* name;
    std::optional<NoteCommand> command;
    const char16_t* caption = nullptr;
    int picture = kCommandPicture;
    bool checkMark = false;
};
std::span<const MenuItem> noteMenuItems();
std::span<const MenuItem> editMenuItems();

// A control of the tool bar, for `command`, with its tool tip (null: none) and, as its
// accessible name, the command's caption. Text controls show `text` in their own face; the
// others are flat buttons with the command's picture. `left` is the control's place on the
// tool bar at its design width; a control placed from the right keeps its distance to the
// right edge when the note is resized. `width` is that of a text control (0: as wide as its
// text); buttons are 18 x 17.
enum class ToolbarFace : std::uint8_t { Picture, Arial, Bold, Plain, Underline };
struct ToolbarItem {
    const char* name;
    NoteCommand command;
    const char16_t* tip;
    ToolbarFace face;
    const char16_t* text;
    int left;
    int width = 0;
    bool fromRight = false;
};
std::span<const ToolbarItem> toolbarItems();
// The tool bar's width at design.
inline constexpr int kToolbarDesignWidth = 267;

} // namespace stikko
