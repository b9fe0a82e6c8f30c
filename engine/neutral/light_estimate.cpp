#include "engine/neutral/light_estimate.h"

#include <cmath>

#include "engine/neutral/block_maxima.h"
#include "engine/neutral/lights.h"
#include "engine/neutral/neutral_constants.h"
#include "engine/portable_math.h"

namespace {

struct Rgb {
    double c[3];  // red, green, blue
};

bool lit(const BlockLight& b)
{
    return b.c[0] > 0.0f && b.c[1] > 0.0f && b.c[2] > 0.0f;
}

Rgb lightOf(const BlockLight& b)
{
    return {{b.c[0], b.c[1], b.c[2]}};
}

// The grey edge: per channel the 6-norm of the gradients between each lit
// block and its lit neighbours to the right and below. Only the ratios
// matter, so the sums are taken to the sixth root as ratios to green's.
bool greyEdge(const BlockLight* blocks, const NeutralGrid& grid, Rgb& light)
{
    double sum[3] = {0.0, 0.0, 0.0};
    for (int32_t by = 0; by + 1 < grid.down; ++by) {
        const BlockLight* row = blocks + int64_t{by} * grid.across;
        const BlockLight* below = row + grid.across;
        for (int32_t bx = 0; bx + 1 < grid.across; ++bx) {
            if (!lit(row[bx]) || !lit(row[bx + 1]) || !lit(below[bx])) continue;
            const Rgb here = lightOf(row[bx]), right = lightOf(row[bx + 1]),
                      down = lightOf(below[bx]);
            for (int32_t c = 0; c < 3; ++c) {
                const double dx = right.c[c] - here.c[c], dy = down.c[c] - here.c[c];
                const double m2 = dx * dx + dy * dy;
                sum[c] += m2 * m2 * m2;
            }
        }
    }
    if (!(sum[0] > 0.0) || !(sum[1] > 0.0) || !(sum[2] > 0.0)) return false;
    light = {{portablePow(sum[0] / sum[1], 1.0 / 6.0), 1.0, portablePow(sum[2] / sum[1], 1.0 / 6.0)}};
    return true;
}

// cos^2 of the gate's angle, for a test without square roots.
double cosSquared(double degrees)
{
    // cos by its series; the angle is small.
    const double x = degrees * (3.14159265358979323846 / 180.0);
    const double x2 = x * x;
    double sum = 1.0;
    for (int n = 20; n >= 2; n -= 2) sum = 1.0 - sum * x2 / (n * (n - 1));
    return sum * sum;
}

// Near grey, seen relative to a light (given as its channels' reciprocals):
// within the gate's angle of (1, 1, 1).
bool nearGrey(const Rgb& p, const Rgb& inverse, double gate)
{
    const double r = p.c[0] * inverse.c[0], g = p.c[1] * inverse.c[1], b = p.c[2] * inverse.c[2];
    const double s = r + g + b;
    return s * s >= 3.0 * gate * (r * r + g * g + b * b);
}

// The white patch among the blocks near grey under the grey edge's light.
bool whitePatch(const BlockLight* blocks, int64_t count, const Rgb& edge, Rgb& light)
{
    const double gate = cosSquared(neutralGateDegrees);
    const Rgb inverse = {{1.0 / edge.c[0], 1.0 / edge.c[1], 1.0 / edge.c[2]}};
    double top[3] = {0.0, 0.0, 0.0};
    for (int64_t i = 0; i < count; ++i) {
        if (!lit(blocks[i])) continue;
        const Rgb p = lightOf(blocks[i]);
        if (!nearGrey(p, inverse, gate)) continue;
        for (int32_t c = 0; c < 3; ++c) top[c] = p.c[c] > top[c] ? p.c[c] : top[c];
    }
    if (!(top[0] > 0.0) || !(top[1] > 0.0) || !(top[2] > 0.0)) return false;
    light = {{top[0] / top[1], 1.0, top[2] / top[1]}};
    return true;
}

// The angle between two colours' directions, in degrees: twice the arcsine
// of half the chord between the unit vectors, by its series (the chord is
// at most 2; beyond 60 degrees the value is only a lower bound, more than
// any use here needs).
double degreesBetween(const Rgb& a, const Rgb& b)
{
    const double na = std::sqrt(a.c[0] * a.c[0] + a.c[1] * a.c[1] + a.c[2] * a.c[2]);
    const double nb = std::sqrt(b.c[0] * b.c[0] + b.c[1] * b.c[1] + b.c[2] * b.c[2]);
    double chord2 = 0.0;
    for (int32_t c = 0; c < 3; ++c) {
        const double d = a.c[c] / na - b.c[c] / nb;
        chord2 += d * d;
    }
    double h = std::sqrt(chord2) * 0.5;
    h = h < 0.5 ? h : 0.5;
    // asin h = sum (2n)! / (4^n (n!)^2 (2n+1)) h^(2n+1)
    double term = h, sum = h;
    for (int n = 1; n < 40; ++n) {
        term = term * h * h * (2.0 * n - 1.0) * (2.0 * n - 1.0) / ((2.0 * n) * (2.0 * n + 1.0));
        sum += term;
    }
    return 2.0 * sum * (180.0 / 3.14159265358979323846);
}

// How much the lit blocks' chromaticities differ, relative to the light and
// weighted by their brightness: the root of the summed variances of
// r / (r + g + b) and b / (r + g + b).
double chromaSpread(const BlockLight* blocks, int64_t count, const Rgb& light)
{
    // Weighted by s = r + g + b, the chromaticity a = r / s adds s a = r and
    // s a^2 = r^2 / s to its sums; b alike.
    const Rgb inverse = {{1.0 / light.c[0], 1.0 / light.c[1], 1.0 / light.c[2]}};
    double w = 0.0, sa = 0.0, saa = 0.0, sb = 0.0, sbb = 0.0;
    for (int64_t i = 0; i < count; ++i) {
        if (!lit(blocks[i])) continue;
        const Rgb p = lightOf(blocks[i]);
        const double r = p.c[0] * inverse.c[0], g = p.c[1] * inverse.c[1],
                     b = p.c[2] * inverse.c[2];
        const double s = r + g + b, perS = 1.0 / s;
        w += s;
        sa += r;
        saa += r * r * perS;
        sb += b;
        sbb += b * b * perS;
    }
    if (!(w > 0.0)) return 0.0;
    const double ma = sa / w, mb = sb / w;
    const double v = (saa / w - ma * ma) + (sbb / w - mb * mb);
    return v > 0.0 ? std::sqrt(v) : 0.0;
}

// 1 at or beyond full, 0 at or beyond none, straight between.
double ramp(double x, double none, double full)
{
    const double t = (x - none) / (full - none);
    return !(t > 0.0) ? 0.0 : t < 1.0 ? t : 1.0;
}

void signGrid(const uint32_t* maxima, const NeutralGrid& grid, SceneSignature& signature)
{
    // The top half of the block rows and the bottom half, as two parts.
    const int32_t half = grid.down / 2;
    for (int32_t part = 0; part < 2; ++part) {
        uint32_t hist[3][256] = {};
        const int32_t first = part == 0 ? 0 : half, last = part == 0 ? half : grid.down;
        for (int32_t by = first; by < last; ++by)
            for (int32_t bx = 0; bx < grid.across; ++bx) {
                const uint32_t w = maxima[int64_t{by} * grid.across + bx];
                ++hist[0][w >> 16 & 0xFF];
                ++hist[1][w >> 8 & 0xFF];
                ++hist[2][w & 0xFF];
            }
        signMeasuredBlock(hist[0], hist[1], hist[2], int64_t{last - first} * grid.across, part,
                          signature);
    }
}

}  // namespace

void measureBlocks(const FrameView& frame, Transfer transfer, NeutralBlocks& blocks,
                   SceneSignature* signature)
{
    if (signature) *signature = SceneSignature{};
    blocks.grid = neutralGrid(frame.width, frame.height);
    const NeutralGrid& grid = blocks.grid;
    if (grid.across == 0) return;
    uint32_t maxima[neutralMaximumBlocks];
    fastestBlockMaxima()(frame, grid, maxima);
    if (signature) signGrid(maxima, grid, *signature);
    const DecodeTable& t = decodeTable(transfer);
    const int64_t count = int64_t{grid.across} * grid.down;
    for (int64_t i = 0; i < count; ++i) {
        const uint32_t w = maxima[i];
        const uint32_t r = w >> 16 & 0xFF, g = w >> 8 & 0xFF, b = w & 0xFF;
        const bool dark = r <= neutralDarkCode || g <= neutralDarkCode || b <= neutralDarkCode;
        blocks.light[i] = dark ? BlockLight{{0.0f, 0.0f, 0.0f}}
                               : BlockLight{{static_cast<float>(t.light[r]),
                                             static_cast<float>(t.light[g]),
                                             static_cast<float>(t.light[b])}};
    }
}

LightEstimate estimateFromBlocks(const NeutralBlocks& blocks)
{
    LightEstimate e;
    const NeutralGrid& grid = blocks.grid;
    if (grid.across == 0) return e;
    const int64_t count = int64_t{grid.across} * grid.down;
    Rgb edge, light;
    if (!greyEdge(blocks.light, grid, edge) || !whitePatch(blocks.light, count, edge, light))
        return e;
    e.found = true;
    for (int32_t c = 0; c < 3; ++c) e.light[c] = light.c[c];
    e.disagreement = degreesBetween(light, edge);
    e.spread = chromaSpread(blocks.light, count, light);
    e.offLights = distanceFromLights(portableLog(light.c[0]), portableLog(light.c[2]));
    e.confidence = ramp(e.disagreement, neutralDisagreeDegrees, neutralAgreeDegrees) *
                   ramp(e.spread, neutralFlatSpread, neutralVariedSpread) *
                   ramp(e.offLights, neutralFarFromLights, neutralNearLights);
    return e;
}

LightEstimate estimateLight(const FrameView& frame, Transfer transfer, SceneSignature* signature)
{
    NeutralBlocks blocks;
    measureBlocks(frame, transfer, blocks, signature);
    return estimateFromBlocks(blocks);
}
