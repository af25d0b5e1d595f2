#pragma once
// Reads a note's body of many megabytes in the background: the file is read and made into a
// document on a thread of its own, which the note then takes as its body whole, so that the
// program answers all the while (reading such a body takes seconds).

#include "store/notefiles.h"

#include <QFont>
#include <QObject>
#include <memory>
#include <thread>

class QTextDocument;

namespace stikko {

class BodyReader : public QObject {
    Q_OBJECT
  public:
    // Bodies of at least this many bytes are read in the background (one below it reads in
    // well under a tenth of a second, and keys typed meanwhile are not lost).
    static constexpr qint64 kBackgroundBytes = qint64(2) << 20;
    // True when the file at `path` is that large.
    static bool isLarge(const QString& path);

    explicit BodyReader(QObject* parent = nullptr);
    ~BodyReader() override;
    BodyReader(const BodyReader&) = delete;
    BodyReader& operator=(const BodyReader&) = delete;

    // Reads `path` into a document with `font` as its default font; `read` tells when it is
    // done. A read under way is dropped first.
    void start(const QString& path, const QFont& font);
    bool busy() const;
    // Waits for the read under way; `read` has been emitted when it returns.
    void finish();
    // Drops the read under way: what comes of it is not told.
    void drop();

  signals:
    // The file as it was read (what to take in with NoteFiles::bodyRead), and, when it was
    // read, the document made of it, which now belongs to the receiver (on this thread).
    void read(const NoteFiles::BodyRead& file, QTextDocument* document);

  private:
    struct Job;
    void done(quint64 generation);

    std::thread worker_;
    std::shared_ptr<Job> job_;
    quint64 generation_ = 0;
};

} // namespace stikko
