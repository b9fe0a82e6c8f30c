#include "cli/progress.h"

#include <unistd.h>

#include <cstdio>

namespace {

void draw(const ProgressMeter& meter, std::chrono::steady_clock::time_point now)
{
    const double seconds = std::chrono::duration<double>(now - meter.start).count();
    const double rate = seconds > 0.0 ? static_cast<double>(meter.frames) / seconds : 0.0;
    std::fprintf(stderr, "\rvelto: %lld frames, %.1f frames/s ",
                 static_cast<long long>(meter.frames), rate);
    std::fflush(stderr);
}

}  // namespace

ProgressMeter startProgress(bool quiet)
{
    ProgressMeter meter;
    meter.enabled = !quiet && isatty(STDERR_FILENO) == 1;
    meter.start = meter.lastDrawn = std::chrono::steady_clock::now();
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

void finishProgress(ProgressMeter& meter)
{
    if (!meter.enabled || meter.frames == 0) return;
    draw(meter, std::chrono::steady_clock::now());
    std::fputc('\n', stderr);
}
