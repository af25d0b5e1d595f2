#pragma once
// A note's body as it is at one moment, to be written on another thread while the user goes on
// typing. Copying a document of many megabytes at once would hold the program for a second or
// more, so the copy is taken a block at a time, in short slices between the program's other
// work: a change in the part already copied drops the copy from the changed block on, which is
// then copied again. Once the copy reaches the end it is the document as it is at that moment.
// The copy is plain data, made into a document of its own on any thread.

#include <QFont>
#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTextFormat>
#include <QVariant>
#include <memory>
#include <vector>

class QTextDocument;

namespace stikko {

struct BodySnapshot {
    struct Run {
        QString text;
        QTextCharFormat format;
    };
    struct Block {
        int position = 0; // where it starts in the document it was copied from
        int length = 0;   // with its paragraph end
        QTextBlockFormat format;
        QTextCharFormat charFormat;
        quintptr list = 0; // the list it belongs to (0: none), the same for every block of it
        QTextListFormat listFormat;
        std::vector<Run> runs;
    };
    QFont defaultFont;
    std::vector<Block> blocks;
    QHash<QString, QVariant> images; // the pictures the text shows, by name
    // Text not in the document yet (a syllable being composed), shown at `extraAt`.
    QString extra;
    int extraAt = 0;
    QTextCharFormat extraFormat;

    // The document the snapshot was taken of, made anew (on any thread).
    std::unique_ptr<QTextDocument> toDocument() const;
};

// Takes a snapshot of `document` on the thread that owns it, a slice at a time.
class BodyCapture : public QObject {
    Q_OBJECT
  public:
    explicit BodyCapture(QTextDocument* document, QObject* parent = nullptr);

    // Copies blocks for about `budgetMs` (at least one); true once the copy is complete.
    bool step(qint64 budgetMs);
    bool complete() const;
    // The snapshot, once complete; the capture starts again from nothing.
    BodySnapshot take();
    // Starts again from nothing.
    void restart();

  private:
    void changed(int position, int removed, int added);

    QPointer<QTextDocument> document_;
    BodySnapshot snapshot_;
    int next_ = 0; // where the next block to copy starts
};

} // namespace stikko
