#pragma once
// When a changed note body is written on its own. A quiet moment after the last change is the
// natural time, but steady typing never leaves one, so there is also a ceiling counted from the
// first change not yet on disk. After a failed write the note waits a while before it tries
// again, however much is typed meanwhile. Times are milliseconds of a monotonic clock that the
// caller reads, so tests can move it.

#include <QtGlobal>

namespace stikko {

class AutosaveSchedule {
  public:
    // After the last change.
    static constexpr qint64 kQuietMs = 700;
    // After the first unsaved change. Half the two seconds of typing a crash may cost at
    // most: the write itself (copied, made into RTF and flushed to the disk in the
    // background) lands well within the rest, also for a body of a megabyte. Steady typing
    // writes the body about once a second.
    static constexpr qint64 kCeilingMs = 1000;
    // After a failed write.
    static constexpr qint64 kRetryMs = 5000;

    // The body changed at `now`; returns the moment the write is due.
    qint64 changed(qint64 now);
    // The write was made; the next change starts afresh.
    void saved();
    // The write failed at `now`; returns the moment of the next try.
    qint64 failed(qint64 now);

  private:
    qint64 firstChange_ = -1;
    qint64 retryAt_ = -1;
};

} // namespace stikko
