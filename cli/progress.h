// Frames done and frames a second on standard error, redrawn in place at most
// a few times a second, when standard error is a terminal and not --quiet.
#pragma once

#include <chrono>
#include <cstdint>

struct ProgressMeter {
    bool enabled = false;
    std::chrono::steady_clock::time_point start{}, lastDrawn{};
    int64_t frames = 0;
};

ProgressMeter startProgress(bool quiet);
void updateProgress(ProgressMeter& meter, int64_t frames);
void finishProgress(ProgressMeter& meter);
