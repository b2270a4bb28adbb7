// WorkProgress: how long work (many pages, a big export, a big data file) tells how far it got
// and learns whether to go on, without knowing of any window.
#ifndef LINTARO_BASE_WORK_PROGRESS_H
#define LINTARO_BASE_WORK_PROGRESS_H

#include <cstdint>

// The caller of long work supplies one (or none: the work runs to its end as it always did).
// Work calls it between units it can stop after (a page, a block of rows), on the caller's
// thread; the implementation may show a window and handle the user's input meanwhile.
class WorkProgress {
public:
    virtual ~WorkProgress() = default;
    // `done` of `total` units are finished (`total` 0: not known). False when the user asked to
    // stop: the work then ends at once, leaving what it finished.
    virtual bool KeepGoing(std::int64_t done, std::int64_t total) = 0;
    // Waits `milliseconds` where the work must rest (a printer spooler between jobs); false when
    // the user asked to stop meanwhile, which may end the wait early.
    virtual bool Pause(int milliseconds) = 0;
};

// Row loops ask once per block of this many rows: often enough to answer within a blink, rarely
// enough to cost nothing beside the rows.
constexpr std::int64_t kRowsPerProgressBlock = 1024;

// KeepGoing at the start of each block of rows (`done` a multiple of the block); true without
// a progress and between blocks.
inline bool KeepGoingAtBlock(WorkProgress* progress, std::int64_t done, std::int64_t total) {
    if (progress == nullptr || done % kRowsPerProgressBlock != 0) return true;
    return progress->KeepGoing(done, total);
}

#endif
