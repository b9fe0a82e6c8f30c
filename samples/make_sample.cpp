// Paints the bundled sample, samples/lakeside-cast.png: a lakeside landscape
// (sky, sun, hills, a house, trees, water), then the cast of a warm light
// (red lifted, blue held down). Made here, from nothing but arithmetic, so the
// project may ship it.
//
//   make_sample OUTPUT.png
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "cli/io/output.h"
#include "cli/formats/image.h"

namespace {

constexpr int32_t width = 480, height = 320;
constexpr double horizon = 0.52;  // of the height

struct Colour {
    double r, g, b;
};

Colour mix(Colour a, Colour b, double t)
{
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

double clamp01(double t) { return t < 0.0 ? 0.0 : t > 1.0 ? 1.0 : t; }

double ridge(double x, double a, double b, double c)
{
    return std::sin(x * a + c) * 0.5 + std::sin(x * b + 2.0 * c) * 0.3 + std::sin(x * 23.0 + c) * 0.05;
}

uint32_t hashNoise(uint32_t x, uint32_t y)
{
    uint32_t h = x * 374761393u + y * 668265263u;
    h = (h ^ (h >> 13)) * 1274126177u;
    return h ^ (h >> 16);
}

Colour sky(double u, double v)
{
    Colour c = mix({52, 98, 178}, {206, 218, 228}, clamp01(v / horizon));
    const double du = u - 0.76, dv = (v - 0.17) * 1.5;  // the sun and its glow
    const double d = std::sqrt(du * du + dv * dv);
    if (d < 0.045) return {255, 250, 236};
    c = mix(c, {255, 240, 210}, clamp01(0.55 - d * 2.2));
    // A few soft clouds.
    const double cloud = std::sin(u * 9.0 + 1.3) * std::sin(v * 31.0) + std::sin(u * 23.0) * 0.3;
    if (v < 0.33 && cloud > 0.55) c = mix(c, {240, 242, 246}, clamp01((cloud - 0.55) * 2.0));
    return c;
}

Colour land(double u, double v)
{
    const double far = horizon - 0.12 + 0.06 * ridge(u, 5.0, 11.0, 0.7);
    const double near = horizon - 0.02 + 0.05 * ridge(u, 3.0, 7.0, 2.1);
    if (v < far) return sky(u, v);
    if (v < near) return mix({120, 136, 160}, {92, 112, 128}, clamp01((v - far) / 0.1));
    return mix({92, 140, 62}, {48, 92, 36}, clamp01((v - near) / 0.08));
}

constexpr double shore = horizon + 0.06;

Colour shoreline(double u, double v)
{
    // A white house with a red roof, and dark trees on the shore.
    if (u > 0.22 && u < 0.33 && v > shore - 0.11 && v < shore - 0.01) return {238, 234, 226};
    if (u > 0.38 && u < 0.40 && v > shore - 0.09 && v < shore - 0.05) return {70, 64, 58};
    const double roof = shore - 0.11 - (0.055 - std::fabs(u - 0.275)) * 0.9;
    if (u > 0.215 && u < 0.335 && v > roof && v <= shore - 0.11) return {170, 40, 32};
    for (double tx : {0.08, 0.13, 0.47, 0.55, 0.61}) {
        const double top = shore - 0.2, t = (v - top) / 0.18;
        if (t > 0.0 && t < 1.0 && std::fabs(u - tx) < 0.035 * t) return mix({30, 70, 34}, {18, 44, 22}, t);
        if (std::fabs(u - tx) < 0.005 && v > top + 0.17 && v < shore) return {78, 54, 34};
    }
    return land(u, v);
}

Colour scene(double u, double v)
{
    if (v <= shore) return shoreline(u, v);
    // The lake mirrors the shore, darker and rippled.
    double mirrored = 2.0 * shore - v + 0.004 * std::sin(v * 260.0);
    mirrored = mirrored > shore ? shore : mirrored < 0.0 ? 0.0 : mirrored;
    const Colour c = shoreline(u + 0.003 * std::sin(v * 170.0), mirrored);
    return mix(c, {28, 52, 70}, 0.35 + 0.4 * clamp01((v - shore) / (1.0 - shore)));
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_sample OUTPUT.png\n");
        return 2;
    }
    Image image;
    image.width = width;
    image.height = height;
    image.words.resize(size_t(width) * size_t(height));
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x) {
            // Four samples a pixel smooth the edges.
            Colour c{0, 0, 0};
            for (int s = 0; s < 4; ++s) {
                const Colour p = scene((x + 0.25 + 0.5 * (s & 1)) / width,
                                       (y + 0.25 + 0.5 * (s >> 1)) / height);
                c = {c.r + p.r / 4, c.g + p.g / 4, c.b + p.b / 4};
            }
            const double grain = static_cast<double>(hashNoise(uint32_t(x), uint32_t(y)) % 7) - 3.0;
            // The warm light: red lifted, green a little, blue held down.
            const double r = c.r * 0.84 + 38.0 + grain, g = c.g * 0.86 + 14.0 + grain,
                         b = c.b * 0.66 + 2.0 + grain;
            auto byte = [](double v) { return static_cast<uint32_t>(v < 0 ? 0 : v > 255 ? 255 : v); };
            image.words[size_t(y) * size_t(width) + size_t(x)] = byte(r) << 16 | byte(g) << 8 | byte(b);
        }
    std::vector<uint8_t> bytes;
    Status s = encodeImage(image, ImageFormat::png, argv[1], bytes);
    OutputFile out;
    if (s.ok()) s = openOutput(argv[1], out);
    if (s.ok()) s = writeOutput(out, bytes.data(), bytes.size());
    if (s.ok()) s = commitOutput(out);
    if (!s.ok()) std::fprintf(stderr, "make_sample: %s\n", s.message.c_str());
    return s.exitCode;
}
