#pragma once
// Rich Text Format for note bodies: the dialect a Windows rich-edit control writes (code page
// 949 text, font and colour tables, bullets) to and from a QTextDocument. Knows nothing of notes.

#include <QByteArray>
#include <QString>

class QTextDocument;

namespace stikko::rtf {

// Replaces the document's contents with what `bytes` hold. Never fails: broken input gives as
// much text as can be recovered; bytes without "{\rtf" load as plain text.
void read(const QByteArray& bytes, QTextDocument& document);

// The document as RTF bytes.
QByteArray write(const QTextDocument& document);

// The text `bytes` hold without their formatting, as read() reads it, each paragraph ending
// in '\n' but the last. Safe on any thread.
QString plainText(const QByteArray& bytes);

// A note body is a few kilobytes; a file larger than this is not one and is not read.
inline constexpr qint64 kMaxFileSize = qint64(256) << 20;

// What both directions keep: indents and spacing up to 22 inches (in twips), font sizes from 1
// to 1638 points (in half points). Values beyond are cut to these.
inline constexpr int kMaxTwips = 31680;
inline constexpr int kMinHalfPoints = 2;
inline constexpr int kMaxHalfPoints = 3276;

// File helpers. load: false when the file cannot be read (the document is left untouched).
// save: atomic (temporary file + rename); false when it fails, the old file then intact.
bool loadFile(const QString& path, QTextDocument& document);
bool saveFile(const QString& path, const QTextDocument& document, QString* error = nullptr);

} // namespace stikko::rtf
