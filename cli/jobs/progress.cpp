#include "cli/jobs/progress.h"

#include <unistd.h>

#include <cstdio>

namespace {

// "m:ss", or "h:mm:ss" from an hour on.
std::string duration(double seconds)
{
    const long long s = seconds < 0.0 ? 0 : seconds > 3.6e7 ? 36000000 : static_cast<long long>(seconds + 0.5);
    char text[32];
    if (s >= 3600)
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", s / 3600, s / 60 % 60, s % 60);
    else
        std::snprintf(text, sizeof text, "%lld:%02lld", s / 60, s % 60);
    return text;
}

void draw(ProgressMeter& meter, std::chrono::steady_clock::time_point now)
{
    const double seconds = std::chrono::duration<double>(now - meter.start).count();
    if (!meter.stage.empty()) {
        if (meter.fraction < 0.0)
            std::fprintf(stderr, "\rvelto: %s\033[K", meter.stage.c_str());
        else
            std::fprintf(stderr, "\rvelto: %s %.0f%%\033[K", meter.stage.c_str(),
                         meter.fraction * 100.0);
    } else if (meter.total > 0) {
        // Files differ in size; the mean so far is the best guess of the rest.
        std::string left;
        if (meter.frames > 0 && meter.frames < meter.total)
            left = ", about " +
                   duration(seconds / static_cast<double>(meter.frames) *
                            static_cast<double>(meter.total - meter.frames)) +
                   " left";
        std::fprintf(stderr, "\rvelto: %lld/%lld files%s\033[K", static_cast<long long>(meter.frames),
                     static_cast<long long>(meter.total), left.c_str());
    } else if (meter.totalFrames > 0) {
        // An estimate from the container can fall short: the count goes on.
        const double rate = seconds > 0.0 ? static_cast<double>(meter.frames) / seconds : 0.0;
        std::string left;
        if (rate > 0.0 && meter.frames < meter.totalFrames)
            left = ", about " +
                   duration(static_cast<double>(meter.totalFrames - meter.frames) / rate) +
                   " left";
        std::fprintf(stderr, "\rvelto: %lld of %lld frames, %.1f frames/s%s\033[K",
                     static_cast<long long>(meter.frames),
                     static_cast<long long>(meter.totalFrames), rate, left.c_str());
    } else {
        const double rate = seconds > 0.0 ? static_cast<double>(meter.frames) / seconds : 0.0;
        std::fprintf(stderr, "\rvelto: %lld frames, %.1f frames/s ",
                     static_cast<long long>(meter.frames), rate);
    }
    std::fflush(stderr);
    meter.drawn = true;
}

}  // namespace

ProgressMeter startProgress(bool quiet, int64_t totalFiles)
{
    ProgressMeter meter;
    meter.enabled = !quiet && isatty(STDERR_FILENO) == 1;
    meter.total = totalFiles;
    meter.start = meter.lastDrawn = std::chrono::steady_clock::now();
    return meter;
}

ProgressMeter startFrameProgress(bool quiet, int64_t totalFrames)
{
    ProgressMeter meter = startProgress(quiet);
    meter.totalFrames = totalFrames;
    return meter;
}

void updateProgress(ProgressMeter& meter, int64_t frames)
{
    meter.frames = frames;
    if (!meter.enabled) return;
    const auto now = std::chrono::steady_clock::now();
    if (now - meter.lastDrawn < std::chrono::milliseconds(250)) return;
    meter.lastDrawn = now;
    draw(meter, now);
}

void updateStage(ProgressMeter& meter, const std::string& stage, double fraction)
{
    if (!meter.enabled) return;
    const auto now = std::chrono::steady_clock::now();
    if (now - meter.lastDrawn < std::chrono::milliseconds(250) && stage == meter.stage) return;
    meter.stage = stage;
    meter.fraction = fraction;
    // Not before a quarter of a second has passed: a small picture shows nothing.
    if (now - meter.start < std::chrono::milliseconds(250)) return;
    meter.lastDrawn = now;
    draw(meter, now);
}

void finishProgress(ProgressMeter& meter)
{
    if (!meter.enabled || meter.frames == 0) return;
    draw(meter, std::chrono::steady_clock::now());
    std::fputc('\n', stderr);
    meter.drawn = false;
}

void clearProgress(ProgressMeter& meter)
{
    if (meter.drawn) std::fputs("\r\033[K", stderr);
    meter.drawn = false;
}

void printMessage(ProgressMeter& meter, const std::string& message)
{
    clearProgress(meter);
    std::fprintf(stderr, "velto: %s\n", message.c_str());
    std::fflush(stderr);
}
