// Frames for the benchmarks: a procedural picture that looks like video (sky,
// ground, shapes, texture, sensor noise and a colour cast) and the flat worst
// case, where every pixel of a block hits the same three bins: video black
// (16, 16, 16), the frame of every fade, whose three bins are also equal.
#pragma once

#include <cstddef>
#include <cstdint>

#include "tests/support/frames.h"

struct FrameSize {
    int32_t width, height;
};

// The sizes every benchmark runs at: VGA, 1080p and 4K UHD.
constexpr FrameSize benchSizes[] = {{640, 480}, {1920, 1080}, {3840, 2160}};

enum class Scene { natural, flat };

// A source frame and a destination of the same size, rows without gaps.
struct BenchFrame {
    Scene scene;
    TestFrame source, destination;

    size_t pixelCount() const { return source.words.size(); }
};

BenchFrame makeBenchFrame(Scene scene, FrameSize size);

const char* sceneName(Scene scene);
