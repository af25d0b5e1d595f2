#pragma once
// The program's command line. Without arguments it starts (or, while it runs, makes a new
// note, as a click on its icon does); otherwise it takes exactly one command, which the running
// program carries out (a program that is not running starts first):
//
//   --new [TEXT...]         a new note: the date line, then TEXT ("-": standard input, 1 MB at most)
//   --new-from-selection    a new note holding the text selected on the desktop
//   --find [WORDS...]       the find window, its field holding WORDS
//   --show-all, --hide-all, --manager   the tray menu's commands
//   --help, --version       print and end; nothing starts
//
// "--" ends the options: what follows is TEXT or WORDS even when it begins with '-'.

#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <cstdint>

namespace stikko {

// What a later start asks of the running program.
struct Command {
    enum class Kind : std::uint8_t { NewNote, NewFromSelection, Find, ShowAll, HideAll, Manager };
    Kind kind = Kind::NewNote;
    // --new: the text after the date line; --find: the words for the field.
    QString text;
    // --new with TEXT, --find with WORDS (an empty one included).
    bool hasText = false;
    friend bool operator==(const Command&, const Command&) = default;
};

struct CommandLine {
    enum class Outcome : std::uint8_t {
        Start,   // no command: start, or a new note from the running program
        Run,     // `command`, by the running program
        Help,    // print usage() and end
        Version, // print "stikko <version>" and end
        Error,   // print `error` (one line naming the argument) and end with status 2
    };
    Outcome outcome = Outcome::Start;
    Command command;
    // --new -: the text is standard input.
    bool textFromStdin = false;
    QString error;
};

// `arguments` without the program's own name.
CommandLine parseCommandLine(const QStringList& arguments);

// The help text of --help.
QString usage();

// Standard input read for --new - is taken up to this size.
inline constexpr qsizetype kMaxInputBytes = qsizetype(1) << 20;

// Text for a note from outside the program (the command line, standard input, the selection):
// bytes that are no UTF-8 become U+FFFD, line ends become '\n', and control characters other
// than tabs and line ends are left out.
QString noteTextFrom(QByteArrayView utf8);
QString cleanNoteText(const QString& text);

} // namespace stikko
