// A WorkProgress for tests: records what the work told it and says stop from a chosen call on.
#ifndef LINTARO_TESTS_UNIT_STOPPING_PROGRESS_H
#define LINTARO_TESTS_UNIT_STOPPING_PROGRESS_H

#include <cstdint>
#include <utility>
#include <vector>

#include "base/work_progress.h"

class StoppingProgress : public WorkProgress {
public:
    // `stop_at_call`: the KeepGoing call (from 1) that first answers false; 0 never.
    explicit StoppingProgress(int stop_at_call = 0) : stop_at_call_(stop_at_call) {}
    bool KeepGoing(std::int64_t done, std::int64_t total) override {
        calls.emplace_back(done, total);
        return stop_at_call_ == 0 || static_cast<int>(calls.size()) < stop_at_call_;
    }
    bool Pause(int) override { return true; }

    std::vector<std::pair<std::int64_t, std::int64_t>> calls;  // (done, total) of each KeepGoing

private:
    int stop_at_call_;
};

#endif
