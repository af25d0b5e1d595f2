#include "note/autosave.h"

#include <algorithm>

namespace stikko {

qint64 AutosaveSchedule::changed(qint64 now) {
    if (retryAt_ >= 0)
        return retryAt_; // failing: typing does not hurry the next try
    if (firstChange_ < 0)
        firstChange_ = now;
    return std::min(now + kQuietMs, firstChange_ + kCeilingMs);
}

void AutosaveSchedule::saved() {
    firstChange_ = -1;
    retryAt_ = -1;
}

qint64 AutosaveSchedule::failed(qint64 now) {
    retryAt_ = now + kRetryMs;
    return retryAt_;
}

} // namespace stikko
