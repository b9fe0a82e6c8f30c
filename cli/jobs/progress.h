// Progress on standard error, redrawn in place at most a few times a second,
// when standard error is a terminal and not --quiet: frames done and frames
// a second for a stream, files done of all and the time left for many files,
// the stage and how far it has come for one large picture.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

struct ProgressMeter {
    bool enabled = false;
    bool drawn = false;  // a line is on the terminal, waiting for its end
    std::chrono::steady_clock::time_point start{}, lastDrawn{};
    int64_t frames = 0;  // or files
    int64_t total = 0;   // files in the run; 0 for a stream
    int64_t totalFrames = 0;  // a stream's frames, where known (or estimated)
    std::string stage;   // one picture: "NAME: reading"
    double fraction = 0.0;
};

ProgressMeter startProgress(bool quiet, int64_t totalFiles = 0);
// A stream of about totalFrames frames (0: unknown): the line adds the time left.
ProgressMeter startFrameProgress(bool quiet, int64_t totalFrames);
void updateProgress(ProgressMeter& meter, int64_t frames);
void finishProgress(ProgressMeter& meter);
// One picture's stage, and how far it has come (0 to 1; below 0: not known).
void updateStage(ProgressMeter& meter, const std::string& stage, double fraction);
// Takes the progress line off the terminal, before other output.
void clearProgress(ProgressMeter& meter);
// Writes "velto: message" as a line of its own, above the progress line.
void printMessage(ProgressMeter& meter, const std::string& message);
