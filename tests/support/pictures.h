// Pictures for the tests and the benchmarks, each painted from one seeded
// generator: a seed gives the same picture on every run and, but for the
// natural picture's sines, in every build.
#pragma once

#include <cstdint>
#include <vector>

#include "tests/support/frames.h"

// A 32-bit linear congruential generator. Its low bits repeat after a few
// steps, so every draw but next() takes the high ones.
struct Random {
    uint32_t state;

    uint32_t next()  // the whole state
    {
        state = state * 1664525u + 1013904223u;
        return state;
    }
    uint32_t word()  // 32 bits, from the high halves of two steps
    {
        const uint32_t high = next() & 0xFFFF0000u;
        return high | next() >> 16;
    }
    uint32_t below(uint32_t n) { return static_cast<uint32_t>((uint64_t{next()} * n) >> 32); }  // 0..n-1
    double unit() { return (next() >> 8) * 0x1p-24; }  // 0 <= u < 1
    // About normal, mean 0, standard deviation 1: four uniforms summed.
    double normal() { return (unit() + unit() + unit() + unit() - 2.0) * 1.7320508; }
};

// Value noise on a lattice of cell pixels: a texture of soft blotches, 0..1,
// for points 0 <= x < width, 0 <= y < height.
struct Lattice {
    int32_t columns = 0, rows = 0;
    double cell = 1.0;
    std::vector<double> values;

    Lattice(int32_t width, int32_t height, double cellSize, Random& random);
    double at(double x, double y) const;
};

// Random words under mask in every pixel. With a narrow mask the same bins
// come up again and again, as in a picture with large even areas.
void paintNoise(TestFrame& f, Random& random, uint32_t mask);

// A warm cast over ramps that differ from block to block, noise in red and
// green, and a random top byte. The frames digest is made of these.
void paintWarmRamp(TestFrame& f, Random& random);

// A cast as a camera gives it: each channel scaled by gain / 64, then
// lifted; before that, noise of up to noise either way.
struct Look {
    int32_t gain[3];  // red, green, blue
    int32_t lift[3];
    int32_t noise;    // 0: flat areas stay flat
};
Look randomLook(Random& random);

// A lit ramp with a few flat rectangles of random colours, noise, the look's
// cast and a random top byte.
void paintScene(TestFrame& f, Random& random, const Look& look);

// A picture that looks like video: sky, clouds and a sun over textured grass,
// a few shaded discs, sensor noise and a tungsten cast that lifts the blacks.
void paintNatural(TestFrame& f, Random& random);

// Frames the neutral correction must not neutralise, for they are not cast
// but coloured: a sunset (an orange sky, a pale sun, dark silhouettes), a
// forest (textured greens, brown trunks, a few sunlit leaves) and a wall of
// one colour with noise.
enum class HeldScene { sunset, forest, wall };
void paintHeldScene(TestFrame& f, Random& random, HeldScene scene);
