#include "obs/frame_formats.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

constexpr double fixedOne = 65536.0;  // tables in 16.16 fixed point

// Where a format keeps each sample: plane, byte offset in a row, step from
// one sample to the next; chroma samples cover subX x subY pixels.
struct Place {
    int plane, offset, step;
};
struct YuvLayout {
    Place y, u, v;
    int subX, subY;
};

bool yuvLayout(video_format format, YuvLayout& l)
{
    switch (format) {
    case VIDEO_FORMAT_I420: case VIDEO_FORMAT_I40A:
        l = {{0, 0, 1}, {1, 0, 1}, {2, 0, 1}, 2, 2}; return true;
    case VIDEO_FORMAT_NV12: l = {{0, 0, 1}, {1, 0, 2}, {1, 1, 2}, 2, 2}; return true;
    case VIDEO_FORMAT_I422: case VIDEO_FORMAT_I42A:
        l = {{0, 0, 1}, {1, 0, 1}, {2, 0, 1}, 2, 1}; return true;
    case VIDEO_FORMAT_I444: case VIDEO_FORMAT_YUVA:
        l = {{0, 0, 1}, {1, 0, 1}, {2, 0, 1}, 1, 1}; return true;
    case VIDEO_FORMAT_YUY2: l = {{0, 0, 2}, {0, 1, 4}, {0, 3, 4}, 2, 1}; return true;
    case VIDEO_FORMAT_UYVY: l = {{0, 1, 2}, {0, 0, 4}, {0, 2, 4}, 2, 1}; return true;
    case VIDEO_FORMAT_YVYU: l = {{0, 0, 2}, {0, 3, 4}, {0, 1, 4}, 2, 1}; return true;
    default: return false;
    }
}

uint8_t* at(const obs_source_frame& f, const Place& p, uint32_t col, uint32_t row)
{
    return f.data[p.plane] + size_t(row) * f.linesize[p.plane] + p.offset + size_t(col) * p.step;
}

int32_t fixed(double v)
{
    return static_cast<int32_t>(std::floor(v * fixedOne + 0.5));
}

uint32_t byteOf(int32_t sum, int32_t low, int32_t high)
{
    return static_cast<uint32_t>(std::clamp(sum >> 16, low, high));
}

// decode[c][k][s]: sample s of Y, U or V (k) into channel c (red, green,
// blue), the range held and the offset and rounding in Y's column.
struct Decode {
    int32_t table[3][3][256];
};

Decode decodeOf(const obs_source_frame& f)
{
    Decode d;
    for (int c = 0; c < 3; ++c)
        for (int k = 0; k < 3; ++k)
            for (int s = 0; s < 256; ++s) {
                const double n = std::clamp(s / 255.0, double(f.color_range_min[k]),
                                            double(f.color_range_max[k]));
                double v = double(f.color_matrix[c * 4 + k]) * n * 255.0;
                if (k == 0) v += double(f.color_matrix[c * 4 + 3]) * 255.0 + 0.5;
                d.table[c][k][s] = fixed(v);
            }
    return d;
}

// encode[k][c][v]: channel c's value v into Y, U or V (k); offset[k] holds
// the offset and the rounding of one pixel.
struct Encode {
    int32_t table[3][3][256];
    int32_t offset[3];
    int32_t low[3], high[3];
};

Encode encodeOf(const obs_source_frame& f)
{
    const float* m = f.color_matrix;
    double a[3][3];
    for (int c = 0; c < 3; ++c)
        for (int k = 0; k < 3; ++k) a[c][k] = m[c * 4 + k];
    const double det = a[0][0] * (a[1][1] * a[2][2] - a[1][2] * a[2][1]) -
                       a[0][1] * (a[1][0] * a[2][2] - a[1][2] * a[2][0]) +
                       a[0][2] * (a[1][0] * a[2][1] - a[1][1] * a[2][0]);
    double inv[3][3];
    for (int k = 0; k < 3; ++k)
        for (int c = 0; c < 3; ++c) {
            const int r0 = (c + 1) % 3, r1 = (c + 2) % 3, c0 = (k + 1) % 3, c1 = (k + 2) % 3;
            inv[k][c] = (a[r0][c0] * a[r1][c1] - a[r0][c1] * a[r1][c0]) / det;
        }
    Encode e;
    for (int k = 0; k < 3; ++k) {
        double off = 0.0;
        for (int c = 0; c < 3; ++c) {
            off -= inv[k][c] * double(m[c * 4 + 3]);
            for (int v = 0; v < 256; ++v) e.table[k][c][v] = fixed(inv[k][c] * v);
        }
        e.offset[k] = fixed(off * 255.0 + 0.5);
        e.low[k] = static_cast<int32_t>(std::lround(f.color_range_min[k] * 255.0f));
        e.high[k] = static_cast<int32_t>(std::lround(f.color_range_max[k] * 255.0f));
    }
    return e;
}

int32_t encodeSum(const Encode& e, int k, uint32_t w)
{
    return e.offset[k] + e.table[k][0][w >> 16 & 0xff] + e.table[k][1][w >> 8 & 0xff] +
           e.table[k][2][w & 0xff];
}

void yuvToWords(const obs_source_frame& f, const YuvLayout& l, uint32_t* words)
{
    const Decode d = decodeOf(f);
    for (uint32_t y = 0; y < f.height; ++y)
        for (uint32_t x = 0; x < f.width; ++x) {
            const uint8_t ys = *at(f, l.y, x, y);
            const uint8_t us = *at(f, l.u, x / l.subX, y / l.subY);
            const uint8_t vs = *at(f, l.v, x / l.subX, y / l.subY);
            uint32_t w = 0xff000000u;
            for (int c = 0; c < 3; ++c) {
                const int32_t sum = d.table[c][0][ys] + d.table[c][1][us] + d.table[c][2][vs];
                w |= byteOf(sum, 0, 255) << (16 - 8 * c);
            }
            words[size_t(y) * f.width + x] = w;
        }
}

// How far the pixel that samples (ys, us, vs) show lies from the word, in
// its farthest channel.
int32_t shownError(const Decode& d, uint8_t ys, uint8_t us, uint8_t vs, uint32_t w)
{
    int32_t worst = 0;
    for (int c = 0; c < 3; ++c) {
        const int32_t sum = d.table[c][0][ys] + d.table[c][1][us] + d.table[c][2][vs];
        const int32_t want = static_cast<int32_t>(w >> (16 - 8 * c) & 0xff);
        worst = std::max(worst, std::abs(static_cast<int32_t>(byteOf(sum, 0, 255)) - want));
    }
    return worst;
}

// Chroma first, then each pixel's luma: of the rounded luma and its two
// neighbours, the one whose shown colour (with the chroma as rounded) lies
// nearest the word; the neighbours are tried only where the rounded luma
// shows it more than 1 level off. Rounding luma and chroma each on its own leaves a
// limited-range pixel up to 2 levels off; the luma taking up the chroma's
// rounding brings it within 1.
void wordsToYuv(const uint32_t* words, obs_source_frame& f, const YuvLayout& l)
{
    const Encode e = encodeOf(f);
    const Decode d = decodeOf(f);
    const uint32_t cw = (f.width + l.subX - 1) / l.subX, ch = (f.height + l.subY - 1) / l.subY;
    for (uint32_t cy = 0; cy < ch; ++cy)
        for (uint32_t cx = 0; cx < cw; ++cx) {
            int64_t u = 0, v = 0;
            int count = 0;
            const uint32_t yEnd = std::min(f.height, (cy + 1) * l.subY);
            const uint32_t xEnd = std::min(f.width, (cx + 1) * l.subX);
            for (uint32_t y = cy * l.subY; y < yEnd; ++y)
                for (uint32_t x = cx * l.subX; x < xEnd; ++x) {
                    const uint32_t w = words[size_t(y) * f.width + x];
                    u += encodeSum(e, 1, w);
                    v += encodeSum(e, 2, w);
                    ++count;
                }
            // The mean of the pixels' sums, each rounding once.
            const auto us = static_cast<uint8_t>(byteOf(int32_t(u / count), e.low[1], e.high[1]));
            const auto vs = static_cast<uint8_t>(byteOf(int32_t(v / count), e.low[2], e.high[2]));
            *at(f, l.u, cx, cy) = us;
            *at(f, l.v, cx, cy) = vs;
            for (uint32_t y = cy * l.subY; y < yEnd; ++y)
                for (uint32_t x = cx * l.subX; x < xEnd; ++x) {
                    const uint32_t w = words[size_t(y) * f.width + x];
                    const int32_t rounded =
                        static_cast<int32_t>(byteOf(encodeSum(e, 0, w), e.low[0], e.high[0]));
                    int32_t best = rounded;
                    int32_t bestError = shownError(d, uint8_t(rounded), us, vs, w);
                    for (int32_t ys : {rounded - 1, rounded + 1}) {
                        if (ys < e.low[0] || ys > e.high[0] || bestError <= 1) continue;
                        const int32_t error = shownError(d, uint8_t(ys), us, vs, w);
                        if (error < bestError) best = ys, bestError = error;
                    }
                    *at(f, l.y, x, y) = static_cast<uint8_t>(best);
                }
        }
}

// Red and blue change places: RGBA bytes become the engine's BGRA words.
uint32_t swapRedBlue(uint32_t w)
{
    return (w & 0xff00ff00u) | (w >> 16 & 0xffu) | (w & 0xffu) << 16;
}

}  // namespace

bool frameHandled(const obs_source_frame& f)
{
    YuvLayout l;
    if (f.format == VIDEO_FORMAT_BGRA || f.format == VIDEO_FORMAT_BGRX ||
        f.format == VIDEO_FORMAT_RGBA)
        return f.data[0] && f.linesize[0] / 4 >= f.width;
    if (!yuvLayout(f.format, l)) return false;
    const size_t cw = (size_t(f.width) + l.subX - 1) / l.subX;
    for (const Place* p : {&l.y, &l.u, &l.v}) {
        const size_t samples = p == &l.y ? f.width : cw;
        if (!f.data[p->plane] ||
            f.linesize[p->plane] < size_t(p->offset) + (samples - 1) * p->step + 1)
            return false;
    }
    for (float v : f.color_matrix)
        if (!std::isfinite(v)) return false;
    for (int k = 0; k < 3; ++k)
        if (!std::isfinite(f.color_range_min[k]) || !std::isfinite(f.color_range_max[k]))
            return false;
    const float* m = f.color_matrix;
    const double det = double(m[0]) * (double(m[5]) * m[10] - double(m[6]) * m[9]) -
                       double(m[1]) * (double(m[4]) * m[10] - double(m[6]) * m[8]) +
                       double(m[2]) * (double(m[4]) * m[9] - double(m[5]) * m[8]);
    // The largest inverse entries of a real matrix are about 2: a determinant
    // this small would overflow the 16.16 tables.
    return std::fabs(det) > 1e-3;
}

uint32_t* frameOwnWords(obs_source_frame& f)
{
    const bool words = f.format == VIDEO_FORMAT_BGRA || f.format == VIDEO_FORMAT_BGRX;
    const bool packed = size_t(f.linesize[0]) == size_t(f.width) * 4;
    const bool aligned = reinterpret_cast<uintptr_t>(f.data[0]) % alignof(uint32_t) == 0;
    return words && packed && aligned ? reinterpret_cast<uint32_t*>(f.data[0]) : nullptr;
}

void frameToWords(const obs_source_frame& f, uint32_t* words)
{
    YuvLayout l;
    if (yuvLayout(f.format, l)) return yuvToWords(f, l, words);
    for (uint32_t y = 0; y < f.height; ++y) {
        uint32_t* row = words + size_t(y) * f.width;
        std::memcpy(row, f.data[0] + size_t(y) * f.linesize[0], size_t(f.width) * 4);
        if (f.format == VIDEO_FORMAT_RGBA)
            for (uint32_t x = 0; x < f.width; ++x) row[x] = swapRedBlue(row[x]);
    }
}

void wordsToFrame(const uint32_t* words, obs_source_frame& f)
{
    YuvLayout l;
    if (yuvLayout(f.format, l)) return wordsToYuv(words, f, l);
    for (uint32_t y = 0; y < f.height; ++y) {
        uint8_t* row = f.data[0] + size_t(y) * f.linesize[0];
        const uint32_t* from = words + size_t(y) * f.width;
        for (uint32_t x = 0; x < f.width; ++x) {
            const uint32_t w = f.format == VIDEO_FORMAT_RGBA ? swapRedBlue(from[x]) : from[x];
            std::memcpy(row + size_t(x) * 4, &w, 4);
        }
    }
}
