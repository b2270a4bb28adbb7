// Lines made on several threads, batch by batch, and written in their order on the caller's.
#ifndef LINTARO_PRINT_ORDERED_BATCHES_H
#define LINTARO_PRINT_ORDERED_BATCHES_H

#include <cstddef>
#include <functional>

#include "print/line_block_writer.h"

// Makes the lines of a long export on `threads` threads while the calling thread writes them:
// `make(batch, lines)` gathers the lines of batch 0 .. count - 1 into an empty `lines`, on any
// of the threads, each batch once; `take(batch, lines)` gets every batch made, on the calling
// thread and in batch order, so the output is the same whatever the threads did. At most a
// few batches wait made, whatever the count.
//
// `make` returns false when its batch ends early (a line could not be assembled): that batch is
// still taken, told so by `whole`, and none after it. `take` returns false to stop (a write failed, the progress
// said stop): no batch is taken after it. Either way the threads are ended before the return.
// Returns false when the threads or their lines could not be had: nothing was made or taken,
// and the caller makes the lines itself.
//
// `make` keeps nothing in thread_local objects with destructors: the threads end with the
// export, and the Windows runtime frees a thread's own storage before those destructors run,
// so they would write into freed heap blocks.
using MakeBatch = std::function<bool(std::size_t batch, LineBlockWriter& lines)>;
using TakeBatch = std::function<bool(std::size_t batch, const LineBlockWriter& lines, bool whole)>;
bool RunOrderedBatches(std::size_t count, int threads, const MakeBatch& make, const TakeBatch& take);

#endif
