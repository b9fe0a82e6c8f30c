// Frame times for the steady levels. Their running mean needs each frame's
// distance in seconds from the frame before, and a frei0r host gives only
// each frame's time stamp:
// - MLT passes seconds (the frame's position / the frame rate), ffmpeg's
//   frei0r filter milliseconds (time stamp x time base x 1000). A step of 1
//   or more is taken as milliseconds: from either kind of host, every rate
//   above 1 frame a second and up to 1000, the command-line tool's largest,
//   comes through as the right number of seconds.
// - Both hosts compute their stamps in floating point, so the steps of an
//   even rate wobble in their last bits, differently from frame to frame. A
//   step within a millionth of a whole rate (25 frames a second) or of a whole
//   number of frames in 1001 s (30000/1001, 29.97) counts as exactly that
//   rate's frame period, computed as `velto apply --fps 25` or
//   `--fps 30000/1001` computes it: every frame then gets the command-line
//   tool's weight, and the bytes come out the same.
// - A host that seeks moves time back, or ahead by a jump: such a frame
//   starts a new run, as the first frame does, so what follows a seek is what
//   a run started there gives. A jump is a step of more than four frame
//   periods, the step before it; a frame or two dropped from a stream is not
//   one. Going back is a seek only after a step forward. The step after a new
//   run's first frame is taken as a period, so a stream whose rate changes
//   starts one new run at most.
// - Some hosts give no usable time: ffmpeg 5.1 hands every frame that went
//   through a pixel-format conversion first (yuv420p video, for one) the same
//   time, its "no time stamp" value times the time base, about -3.8e20. A
//   frame whose time is not a number or infinite, stands still, or goes back
//   again after a step that was not forward is counted as one frame at
//   assumedRate and smooths on; such a host's seeks cannot be told, and only
//   a scene cut starts a new run. 25 frames a second is the rate ffmpeg takes
//   for raw input and MLT's default profile has, and the commonest outside
//   North America; at another rate the time constant only stretches or
//   shrinks by the ratio, 1 s becoming 0.83 s at 30.
#pragma once

#include <cmath>

constexpr double millisecondSteps = 1.0;  // steps from here up are in milliseconds
constexpr double evenRateTolerance = 1e-6;
constexpr double seekPeriods = 4.0;
constexpr double assumedRate = 25.0;  // frames a second where the host gives no time

struct FrameClock {
    bool started = false;
    double lastTime = 0.0;  // the last frame's, in the host's unit
    double period = 0.0;    // the step before, in the host's unit; 0 when that was no step forward
};

struct ClockTick {
    FrameClock clock;  // for the next frame
    bool restart;      // the first frame, a step back after one forward, or a jump ahead
    double seconds;    // the step from the frame before, when not a restart
};

// seconds, or the frame period of the even rate it lies within a millionth of.
inline double evenFrameSeconds(double seconds)
{
    const double rate = 1.0 / seconds;
    for (double perSeconds : {1.0, 1001.0}) {
        // Frames in perSeconds seconds; rounded as a double, never converted
        // to an integer, so any step is safe here.
        const double frames = std::round(rate * perSeconds);
        if (frames >= 1.0 && std::fabs(rate * perSeconds - frames) <= frames * evenRateTolerance)
            return 1.0 / (frames / perSeconds);
    }
    return seconds;
}

inline ClockTick tickClock(const FrameClock& clock, double time)
{
    if (!clock.started) return {{true, time, 0.0}, true, 0.0};
    const double step = time - clock.lastTime;
    const bool forward = step > 0.0 && std::isfinite(step);
    const bool seek = forward ? clock.period > 0.0 && step > seekPeriods * clock.period
                              : step < 0.0 && clock.period > 0.0;
    if (seek) return {{true, time, 0.0}, true, 0.0};
    if (!forward) return {{true, time, 0.0}, false, 1.0 / assumedRate};
    const double seconds = step >= millisecondSteps ? step / 1000.0 : step;
    return {{true, time, step}, false, evenFrameSeconds(seconds)};
}
