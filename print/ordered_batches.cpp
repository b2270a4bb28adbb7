// Batches of lines made on worker threads, handed to the calling thread in order.
#include "print/ordered_batches.h"

#include <condition_variable>
#include <memory>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

namespace {

struct Slot {
    std::unique_ptr<LineBlockWriter> lines;
    bool made = false;
    bool whole = true;
};

}  // namespace

bool RunOrderedBatches(std::size_t count, int threads, const MakeBatch& make, const TakeBatch& take) {
    if (threads < 1) threads = 1;
    // Two batches a thread: one being made, one made and waiting, so no thread waits for the
    // writer while another batch is being written.
    const std::size_t window = 2 * static_cast<std::size_t>(threads);
    std::vector<Slot> slots(window);
    for (Slot& slot : slots) {
        slot.lines = LineBlockWriter::Gathering();
        if (slot.lines == nullptr || !slot.lines->Ready()) return false;
    }
    std::mutex lock;
    std::condition_variable changed;
    std::size_t next_to_make = 0;
    std::size_t next_to_take = 0;
    bool stop = false;

    const auto work = [&] {
        std::unique_lock<std::mutex> guard(lock);
        for (;;) {
            changed.wait(guard, [&] { return stop || next_to_make >= count || next_to_make < next_to_take + window; });
            if (stop || next_to_make >= count) return;
            const std::size_t batch = next_to_make++;
            Slot& slot = slots[batch % window];
            guard.unlock();
            slot.lines->Clear();
            bool whole = false;
            try {
                whole = make(batch, *slot.lines);
            } catch (const std::bad_alloc&) {
                // Nothing may leave a thread: the batch ends before the line memory ran out in,
                // and the export there.
                slot.lines->DropLine();
            }
            guard.lock();
            slot.whole = whole;
            slot.made = true;
            changed.notify_all();
        }
    };
    std::vector<std::thread> workers;
    for (int i = 0; i < threads; ++i) {
        try {
            workers.emplace_back(work);
        } catch (const std::system_error&) {
            break;  // fewer threads make the same batches
        }
    }
    if (workers.empty()) return false;

    for (std::size_t batch = 0; batch < count; ++batch) {
        Slot& slot = slots[batch % window];
        std::unique_lock<std::mutex> guard(lock);
        changed.wait(guard, [&] { return slot.made; });
        guard.unlock();
        const bool go_on = take(batch, *slot.lines, slot.whole) && slot.whole;
        guard.lock();
        slot.made = false;
        next_to_take = batch + 1;
        if (!go_on) stop = true;
        changed.notify_all();
        if (!go_on) break;
    }
    {
        const std::lock_guard<std::mutex> guard(lock);
        stop = true;
    }
    changed.notify_all();
    for (std::thread& worker : workers) worker.join();
    return true;
}
