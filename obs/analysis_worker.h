// The analysis of the pictures the filter stages from the GPU, on a thread
// of its own, so that OBS's graphics thread never waits for it: the
// graphics thread hands over a mapped picture and goes on drawing; the
// worker steps the correction's steady state with it and publishes the
// three maps, which a later rendered frame picks up.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include "obs/frame_correction.h"

// A picture as the GPU staged it: BGRA rows, top row first, linesize bytes
// apart (at least width * 4).
struct StagedPicture {
    const uint8_t* bytes = nullptr;
    uint32_t linesize = 0;
    int32_t width = 0, height = 0;
    uint64_t time = 0;  // the rendered frame's time, in nanoseconds
    FilterSettings settings;
};

struct AnalysisWorker {
    std::thread thread;
    std::mutex lock;  // guards what follows up to state
    std::condition_variable wake;
    bool quit = false;
    bool busy = false;  // a picture handed over and not yet analysed
    StagedPicture picture;
    uint32_t maps[256] = {};  // the latest maps, as correctionTables gives them
    uint64_t serial = 0;      // how many maps were published
    // The worker thread's alone.
    CorrectionState state;
    std::vector<uint32_t> rows;
};

// Starts the thread; false where none can be had.
bool startWorker(AnalysisWorker& worker);
// Lets the picture in hand be finished and ends the thread.
void stopWorker(AnalysisWorker& worker);

// Hands over a picture, whose bytes stay readable until the worker is no
// longer busy; false (and nothing done) while it is.
bool handOver(AnalysisWorker& worker, const StagedPicture& picture);
bool workerBusy(AnalysisWorker& worker);
// The latest maps into words, where they are newer than serial (which is
// then brought up to date).
bool takeMaps(AnalysisWorker& worker, uint64_t& serial, uint32_t* words);

// One picture's analysis on the caller's thread (the worker's and the
// benchmark's): the steady state stepped and the maps that follow; false
// (the maps not written) for rows shorter than the width, or where the memory
// for a copy of rows whose gap is not whole words cannot be had.
bool analysePicture(CorrectionState& state, std::vector<uint32_t>& rows,
                    const StagedPicture& picture, uint32_t* maps);
