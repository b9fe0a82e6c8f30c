#include "tests/support/pictures.h"

#include <cmath>
#include <cstddef>
#include <vector>

namespace {

uint32_t clampByte(int32_t v)
{
    return v < 0 ? 0u : v > 255 ? 255u : static_cast<uint32_t>(v);
}

uint32_t toByte(double v)
{
    return static_cast<uint32_t>(v <= 0.0 ? 0.0 : (v >= 255.0 ? 255.0 : v));
}

double smoothstep(double edge0, double edge1, double x)
{
    double t = (x - edge0) / (edge1 - edge0);
    t = t < 0.0 ? 0.0 : (t > 1.0 ? 1.0 : t);
    return t * t * (3.0 - 2.0 * t);
}

struct Disc {
    double x, y, radius;
    double r, g, b;
};

}  // namespace

Lattice::Lattice(int32_t width, int32_t height, double cellSize, Random& random)
    : columns(static_cast<int32_t>(width / cellSize) + 2),
      rows(static_cast<int32_t>(height / cellSize) + 2), cell(cellSize),
      values(static_cast<size_t>(columns) * static_cast<size_t>(rows))
{
    for (double& v : values) v = random.unit();
}

double Lattice::at(double x, double y) const
{
    const double fx = x / cell, fy = y / cell;
    const int32_t ix = static_cast<int32_t>(fx), iy = static_cast<int32_t>(fy);
    const double tx = smoothstep(0.0, 1.0, fx - ix), ty = smoothstep(0.0, 1.0, fy - iy);
    const double* row0 = &values[static_cast<size_t>(iy) * static_cast<size_t>(columns)];
    const double* row1 = row0 + columns;
    const double top = row0[ix] + (row0[ix + 1] - row0[ix]) * tx;
    const double bottom = row1[ix] + (row1[ix + 1] - row1[ix]) * tx;
    return top + (bottom - top) * ty;
}

void paintNoise(TestFrame& f, Random& random, uint32_t mask)
{
    for (int32_t y = 0; y < f.height; ++y)
        for (int32_t x = 0; x < f.width; ++x) f.at(x, y) = random.word() & mask;
}

void paintWarmRamp(TestFrame& f, Random& random)
{
    for (int32_t y = 0; y < f.height; ++y)
        for (int32_t x = 0; x < f.width; ++x) {
            const uint32_t state = random.next();
            const uint32_t noise = state >> 27;
            const uint32_t r = (60 + static_cast<uint32_t>(x * 150 / f.width) + noise) & 0xFF;
            const uint32_t g = (30 + static_cast<uint32_t>(y * 120 / f.height) + noise) & 0xFF;
            const uint32_t b = static_cast<uint32_t>(20 + (x + y) % 90) & 0xFF;
            f.at(x, y) = (state & 0xFF000000u) | r << 16 | g << 8 | b;
        }
}

Look randomLook(Random& random)
{
    Look look;
    for (int c = 0; c < 3; ++c) {
        look.gain[c] = 60 + static_cast<int32_t>(random.below(45));
        look.lift[c] = static_cast<int32_t>(random.below(50));
    }
    look.noise = (1 << random.below(7)) - 1;
    return look;
}

void paintScene(TestFrame& f, Random& random, const Look& look)
{
    struct Rectangle {
        int32_t x, y, width, height;
        uint32_t colour;
    };
    Rectangle shapes[4];
    for (Rectangle& s : shapes) {
        s.x = static_cast<int32_t>(random.below(static_cast<uint32_t>(f.width)));
        s.y = static_cast<int32_t>(random.below(static_cast<uint32_t>(f.height)));
        s.width = 1 + static_cast<int32_t>(random.below(static_cast<uint32_t>(f.width / 3 + 1)));
        s.height = 1 + static_cast<int32_t>(random.below(static_cast<uint32_t>(f.height / 3 + 1)));
        s.colour = random.word() & 0xFFFFFF;
    }
    const uint32_t noiseSpan = static_cast<uint32_t>(2 * look.noise + 1);
    for (int32_t y = 0; y < f.height; ++y)
        for (int32_t x = 0; x < f.width; ++x) {
            const int32_t base = x * 200 / f.width + y * 55 / f.height;
            int32_t value[3] = {base, base, base};
            for (const Rectangle& s : shapes)
                if (x >= s.x && x < s.x + s.width && y >= s.y && y < s.y + s.height)
                    for (int c = 0; c < 3; ++c) value[c] = static_cast<int32_t>(s.colour >> (16 - 8 * c) & 0xFF);
            uint32_t word = random.next() & 0xFF000000u;
            for (int c = 0; c < 3; ++c) {
                const int32_t noisy = value[c] + static_cast<int32_t>(random.below(noiseSpan)) - look.noise;
                word |= clampByte(noisy * look.gain[c] / 64 + look.lift[c]) << (16 - 8 * c);
            }
            f.at(x, y) = word;
        }
}

void paintNatural(TestFrame& f, Random& random)
{
    const double w = f.width, h = f.height;
    const double scale = h / 480.0;
    const Lattice coarse(2 * f.width, 2 * f.height, 64.0 * scale, random);  // read up to 2x
    const Lattice fine(f.width, f.height, 6.0 * scale, random);
    Disc discs[7];
    for (Disc& d : discs) {
        d = {random.unit() * w, (0.45 + 0.5 * random.unit()) * h, (12.0 + 40.0 * random.unit()) * scale,
             40.0 + 200.0 * random.unit(), 40.0 + 200.0 * random.unit(), 40.0 + 200.0 * random.unit()};
    }
    const double sunX = 0.72 * w, sunY = 0.18 * h, sunRadius = 30.0 * scale;
    const double horizon = 0.42 * h;
    for (int32_t y = 0; y < f.height; ++y) {
        for (int32_t x = 0; x < f.width; ++x) {
            const double edge = horizon + 0.05 * h * std::sin(x * 6.0 / w) * coarse.at(x, 0.0);
            double r, g, b;
            if (y < edge) {
                const double t = y / edge;  // 0 at the top, 1 at the horizon
                r = 70.0 + 120.0 * t;
                g = 110.0 + 100.0 * t;
                b = 190.0 + 40.0 * t;
                const double cloud = smoothstep(0.55, 0.8, coarse.at(x, y * 2.0));
                r += (235.0 - r) * cloud;
                g += (235.0 - g) * cloud;
                b += (240.0 - b) * cloud;
            } else {
                const double t = (y - edge) / (h - edge);  // 0 at the horizon, 1 at the bottom
                const double grass = 0.6 + 0.4 * coarse.at(x * 1.7, y * 1.7);
                const double blade = 0.75 + 0.5 * fine.at(x, y);
                r = (60.0 + 50.0 * t) * grass * blade;
                g = (110.0 + 40.0 * t) * grass * blade;
                b = (40.0 + 20.0 * t) * grass * blade;
            }
            const double ds = std::hypot(x - sunX, y - sunY);
            const double sun = 1.0 - smoothstep(sunRadius, 3.0 * sunRadius, ds);
            r += (255.0 - r) * sun;
            g += (250.0 - g) * sun;
            b += (220.0 - b) * sun;
            for (const Disc& d : discs) {
                const double dd = std::hypot(x - d.x, y - d.y);
                if (dd < d.radius) {
                    const double shade = 0.55 + 0.45 * (1.0 - dd / d.radius);
                    r = d.r * shade;
                    g = d.g * shade;
                    b = d.b * shade;
                }
            }
            const double noise = 6.0;
            r += noise * (random.unit() + random.unit() - 1.0);
            g += noise * (random.unit() + random.unit() - 1.0);
            b += noise * (random.unit() + random.unit() - 1.0);
            // The cast: tungsten-like, with lifted blacks.
            r = 18.0 + r * 0.98;
            g = 10.0 + g * 0.90;
            b = 4.0 + b * 0.72;
            f.at(x, y) = toByte(r) << 16 | toByte(g) << 8 | toByte(b);
        }
    }
}

void paintHeldScene(TestFrame& f, Random& random, HeldScene scene)
{
    const Lattice leaves(f.width, f.height, 4.0, random);
    for (int32_t y = 0; y < f.height; ++y)
        for (int32_t x = 0; x < f.width; ++x) {
            const double u = static_cast<double>(x) / f.width, v = static_cast<double>(y) / f.height;
            const double n = 3.0 * (random.unit() + random.unit() - 1.0);
            double r = 0, g = 0, b = 0;
            if (scene == HeldScene::sunset) {
                // Violet high up, orange lower down, yellow at the horizon.
                const double t = v < 0.6 ? v / 0.6 : (v - 0.6) / 0.4;
                r = v < 0.6 ? 90 + 160 * t : 250 + 5 * t;
                g = v < 0.6 ? 60 + 90 * t : 150 + 50 * t;
                b = v < 0.6 ? 120 - 60 * t : 60 + 30 * t;
                const double dx = u - 0.6, dy = (v - 0.62) * f.height / f.width;
                if (dx * dx + dy * dy < 0.0012) r = 255, g = 235, b = 170;  // the sun
                const bool hill = v > 0.75 + 0.03 * ((x / 40) % 3);
                const bool tree = std::fabs(u - 0.2) < (v - 0.45) * 0.15 ||
                                  std::fabs(u - 0.8) < (v - 0.45) * 0.15;
                if (hill || (v > 0.45 && tree)) r = 30, g = 18, b = 20;
            } else if (scene == HeldScene::forest) {
                const double shade = 0.55 + 0.9 * leaves.at(x, y);
                r = 45 * shade;
                g = 100 * shade;
                b = 38 * shade;
                if ((x / 12) % 9 == 4) r = 70, g = 50, b = 35;         // trunks
                if (random.below(100) == 0) r = 170, g = 210, b = 90;  // sunlit leaves
            } else {
                r = 200, g = 150, b = 100;
            }
            f.at(x, y) = toByte(r + n) << 16 | toByte(g + n) << 8 | toByte(b + n);
        }
}
