#pragma once
// Documents for the RTF tests: random ones made only of what a note body carries, and a
// resolved description to compare two documents by text and formatting.

#include <QFont>
#include <QString>

class QTextDocument;

namespace stikko::test {

// The font a note body is shown in; documents under test use it as their default font.
QFont noteDefaultFont();

// Fills `document` (emptied first) with a random mix, reproducible from `seed`: 0 to 12
// paragraphs, some bulleted or numbered, some empty, with alignment and indents, and runs of ASCII
// (with RTF specials), Korean, symbols inside and outside code page 949, emoji and line breaks in
// random font families, sizes (points and pixels), styles and colours, some of them links, and
// small pictures. Seed 0 gives an empty document.
void fillRandomDocument(QTextDocument& document, unsigned seed);

// Every paragraph (alignment, indents, spacing, bullet or number) and every run of characters
// with equal formatting (family, size in points, bold, italic, underline, strike-out, colours,
// vertical alignment, link address; a picture's form, size and first pixel), each resolved
// against the document's default font, one paragraph per line. Empty paragraphs also describe
// the formatting the caret would type with.
QString describeDocument(const QTextDocument& document);

// The text as a plain-text reader shows it: paragraphs and line breaks as "\n", each
// paragraph ended by one.
QString plainLines(const QTextDocument& document);

} // namespace stikko::test
