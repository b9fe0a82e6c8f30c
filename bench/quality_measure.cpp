// How well each correction removes a colour cast, and what it does to a
// photograph that has none: the residual cast angle, the standard figure of
// colour constancy. Not a timing.
//
//   quality_measure [--ffmpeg PROGRAM] [--work FOLDER] [--per-photo] [--green-one] PHOTO...
//
// Each photograph (PNG or JPEG, taken as sRGB) is given each cast the way
// light makes one: every channel multiplied in linear light by an
// illuminant's gain relative to daylight (D65), with the exposure kept (the
// largest gain 1, so the cast clips nothing the photograph did not; with
// --green-one the gains are applied as they stand, green 1, and a cast that
// raises a channel clips it where the photograph was bright). Then
// each way corrects it: the neutral correction and the classic (levels 20)
// as velto runs them, and ffmpeg's normalize and grayworld filters (run as
// programs, on raw frames in the work folder). The residual of a corrected
// picture is measured in linear light over the pixels that are neither near
// black nor clipped in the photograph, the cast picture or the output (every
// channel from 11 to 249): the gain of each channel from the photograph to
// the output, as the ratio of the channel's sums, and the angle between that
// gain and (1, 1, 1). A perfect correction leaves 0 degrees; on the
// photograph itself, given no cast, the angle is the harm a correction does.
//
// Prints the table of mean residuals per cast, the mean and the worst
// quarter over the four main casts, and the harm's mean and median; then
// checks the neutral correction's targets and exits with 1 when one is
// missed.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "cli/formats/image.h"
#include "engine/classic/bottom_up.h"
#include "engine/neutral/neutral_pass.h"
#include "engine/transfer.h"

namespace {

struct CastKind {
    const char* name;
    const char* label;
    double gain[3];  // red, green, blue, relative to daylight, green 1
    bool main;       // one of the four the targets are set on
};

// Black bodies of 3000 K and 2200 K, north-sky shade, a fluorescent tube's
// green, and the blue-green of water a few metres down.
constexpr CastKind castKinds[] = {
    {"tungsten", "tungsten 3000 K (2.09, 1, 0.32)", {2.09, 1.0, 0.32}, true},
    {"shade", "shade 7500 K (0.92, 1, 1.14)", {0.92, 1.0, 1.14}, true},
    {"green", "green tint (0.68, 1, 0.72)", {0.68, 1.0, 0.72}, true},
    {"candle", "candle 2200 K (3.28, 1, 0.09)", {3.28, 1.0, 0.09}, true},
    {"underwater", "underwater (0.40, 1, 0.85)", {0.40, 1.0, 0.85}, false},
};
constexpr int castCount = static_cast<int>(std::size(castKinds));

enum class Way { neutral, classic, normalize, grayworld };
constexpr Way ways[] = {Way::neutral, Way::classic, Way::normalize, Way::grayworld};
constexpr const char* wayNames[] = {"velto neutral", "velto classic (levels 20)",
                                    "ffmpeg `normalize`", "ffmpeg `grayworld`"};

struct Picture {
    int32_t width = 0, height = 0;
    std::vector<uint32_t> words;  // blue, green, red, top byte 0
};

uint8_t channel(uint32_t w, int c)
{
    return static_cast<uint8_t>(w >> (16 - 8 * c));  // c: 0 red, 1 green, 2 blue
}

Picture withCast(const Picture& p, const double gain[3], bool greenOne)
{
    const double top = greenOne ? 1.0 : std::max({gain[0], gain[1], gain[2]});
    Picture out = p;
    uint8_t table[3][256];
    for (int c = 0; c < 3; ++c)
        for (int v = 0; v < 256; ++v) {
            const double light = decodeTransfer(Transfer::srgb, v / 255.0) * gain[c] / top;
            table[c][v] = static_cast<uint8_t>(encodeTransfer(Transfer::srgb, light) * 255.0 + 0.5);
        }
    for (uint32_t& w : out.words)
        w = uint32_t{table[0][channel(w, 0)]} << 16 | uint32_t{table[1][channel(w, 1)]} << 8 |
            table[2][channel(w, 2)];
    return out;
}

bool writeFile(const std::string& path, const void* data, size_t size)
{
    std::ofstream f(path, std::ios::binary);
    f.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
    return bool(f);
}

bool ffmpegFilter(const std::string& ffmpeg, const std::string& work, const std::string& filter,
                  const Picture& in, Picture& out)
{
    const std::string src = work + "/in.raw", dst = work + "/out.raw";
    if (!writeFile(src, in.words.data(), in.words.size() * 4)) return false;
    const std::string size = std::to_string(in.width) + "x" + std::to_string(in.height);
    const std::string command = ffmpeg + " -v error -y -f rawvideo -pix_fmt bgr0 -s " + size +
                                " -i '" + src + "' -vf '" + filter +
                                "' -f rawvideo -pix_fmt bgr0 '" + dst + "'";
    if (std::system(command.c_str()) != 0) return false;
    std::ifstream f(dst, std::ios::binary);
    out = in;
    f.read(reinterpret_cast<char*>(out.words.data()),
           static_cast<std::streamsize>(out.words.size() * 4));
    if (!f) return false;
    for (uint32_t& w : out.words) w &= 0xFFFFFF;
    return true;
}

bool corrected(Way way, const std::string& ffmpeg, const std::string& work, const Picture& in,
               Picture& out)
{
    out = in;
    switch (way) {
    case Way::neutral:
        runNeutralPass({}, {in.words.data(), in.width, in.height, 0}, out.words.data(), 0);
        return true;
    case Way::classic: {
        BlockLevels levels;
        correctFrame(defaultStrengths, in.words.data(), out.words.data(), in.width, in.height,
                     levels);
        return true;
    }
    case Way::normalize: return ffmpegFilter(ffmpeg, work, "normalize", in, out);
    case Way::grayworld:
        // In linear light, as the filter expects its input.
        return ffmpegFilter(ffmpeg, work,
                            "zscale=tin=iec61966-2-1:t=linear:npl=100,format=gbrpf32le,grayworld,"
                            "zscale=tin=linear:t=iec61966-2-1:npl=100,format=bgr0",
                            in, out);
    }
    return false;
}

// The residual angle in degrees; NaN when too few pixels are measurable.
double residual(const Picture& original, const Picture& input, const Picture& output)
{
    const DecodeTable& t = decodeTable(Transfer::srgb);
    double before[3] = {0, 0, 0}, after[3] = {0, 0, 0};
    int64_t used = 0;
    const auto fine = [](uint32_t w) {
        for (int c = 0; c < 3; ++c)
            if (channel(w, c) <= 10 || channel(w, c) >= 250) return false;
        return true;
    };
    for (size_t i = 0; i < original.words.size(); ++i) {
        const uint32_t o = original.words[i], in = input.words[i], out = output.words[i];
        if (!fine(o) || !fine(in) || !fine(out)) continue;
        ++used;
        for (int c = 0; c < 3; ++c) {
            before[c] += t.light[channel(o, c)];
            after[c] += t.light[channel(out, c)];
        }
    }
    if (used < 100) return NAN;
    double g[3], dot = 0.0, norm = 0.0;
    for (int c = 0; c < 3; ++c) {
        g[c] = after[c] / before[c];
        dot += g[c];
        norm += g[c] * g[c];
    }
    const double cosine = std::min(1.0, dot / std::sqrt(3.0 * norm));
    return std::acos(cosine) * 180.0 / 3.14159265358979323846;
}

double mean(const std::vector<double>& v)
{
    double s = 0.0;
    int n = 0;
    for (double x : v)
        if (!std::isnan(x)) s += x, ++n;
    return n ? s / n : NAN;
}

double median(std::vector<double> v)
{
    v.erase(std::remove_if(v.begin(), v.end(), [](double x) { return std::isnan(x); }), v.end());
    if (v.empty()) return NAN;
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2.0;
}

// The mean of the largest quarter.
double worstQuarter(std::vector<double> v)
{
    v.erase(std::remove_if(v.begin(), v.end(), [](double x) { return std::isnan(x); }), v.end());
    std::sort(v.begin(), v.end(), std::greater<double>());
    const size_t n = std::max<size_t>(1, v.size() / 4);
    v.resize(std::min(n, v.size()));
    return mean(v);
}

bool readPicture(const std::string& path, Picture& p)
{
    std::ifstream f(path, std::ios::binary);
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(f)),
                                     std::istreambuf_iterator<char>());
    Image image;
    if (!f || !decodeImage(bytes, path, image).ok()) return false;
    p.width = image.width;
    p.height = image.height;
    p.words = std::move(image.words);
    for (uint32_t& w : p.words) w &= 0xFFFFFF;
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    std::string ffmpeg = "ffmpeg", work = ".";
    bool perPhoto = false, greenOne = false;
    std::vector<std::string> photos;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--ffmpeg" && i + 1 < argc) ffmpeg = argv[++i];
        else if (a == "--work" && i + 1 < argc) work = argv[++i];
        else if (a == "--per-photo") perPhoto = true;
        else if (a == "--green-one") greenOne = true;
        else photos.push_back(a);
    }
    if (photos.empty()) {
        std::fprintf(stderr, "usage: quality_measure [--ffmpeg PROGRAM] [--work FOLDER] "
                             "[--per-photo] PHOTO...\n");
        return 2;
    }
    constexpr int wayCount = static_cast<int>(std::size(ways));
    // [way][cast] residuals over the photographs; [way] harms.
    std::vector<double> res[wayCount][castCount], harm[wayCount];
    for (const std::string& path : photos) {
        Picture photo;
        if (!readPicture(path, photo)) {
            std::fprintf(stderr, "quality_measure: cannot read %s\n", path.c_str());
            return 2;
        }
        std::vector<Picture> inputs = {photo};
        for (const CastKind& k : castKinds) inputs.push_back(withCast(photo, k.gain, greenOne));
        if (perPhoto) {
            const LightEstimate e =
                estimateLight({photo.words.data(), photo.width, photo.height, 0}, Transfer::srgb);
            std::printf("%s: confidence %.2f (disagreement %.1f, spread %.3f, off lights %.2f), "
                        "neutral residuals:", path.c_str(), e.confidence, e.disagreement, e.spread,
                        e.offLights);
        }
        for (int w = 0; w < wayCount; ++w) {
            for (int i = 0; i <= castCount; ++i) {
                Picture out;
                if (!corrected(ways[w], ffmpeg, work, inputs[i], out)) {
                    std::fprintf(stderr, "quality_measure: %s failed on %s\n", wayNames[w],
                                 path.c_str());
                    return 2;
                }
                const double r = residual(photo, inputs[i], out);
                (i == 0 ? harm[w] : res[w][i - 1]).push_back(r);
                if (perPhoto && w == 0) std::printf(" %.1f", r);
            }
        }
        if (perPhoto) std::printf("\n");
    }

    std::printf("%zu photographs\n\n| cast (gain R, G, B) | cast itself |", photos.size());
    for (const char* n : wayNames) std::printf(" %s |", n);
    std::printf("\n|---|---:|");
    for (int w = 0; w < wayCount; ++w) std::printf("---:|");
    std::printf("\n");
    std::vector<double> uncorrected[castCount];
    for (int c = 0; c < castCount; ++c) {
        const double* g = castKinds[c].gain;
        const Picture none;
        // The cast itself: the angle of its gain.
        const double dot = g[0] + g[1] + g[2], norm = g[0] * g[0] + g[1] * g[1] + g[2] * g[2];
        std::printf("| %s | %.1f |", castKinds[c].label,
                    std::acos(dot / std::sqrt(3.0 * norm)) * 180.0 / 3.14159265358979323846);
        for (int w = 0; w < wayCount; ++w) std::printf(" %.1f |", mean(res[w][c]));
        std::printf("\n");
    }
    std::vector<double> main[wayCount];
    for (int w = 0; w < wayCount; ++w)
        for (int c = 0; c < castCount; ++c)
            if (castKinds[c].main) main[w].insert(main[w].end(), res[w][c].begin(), res[w][c].end());
    std::printf("| four casts: mean / worst quarter | |");
    for (int w = 0; w < wayCount; ++w)
        std::printf(" %.1f / %.1f |", mean(main[w]), worstQuarter(main[w]));
    std::printf("\n| harm on uncast photos: mean / median | 0 |");
    for (int w = 0; w < wayCount; ++w) std::printf(" %.1f / %.1f |", mean(harm[w]), median(harm[w]));
    std::printf("\n\n");

    // The neutral correction's targets.
    const int n = 0, normalize = 2;
    std::vector<std::string> missed;
    const auto check = [&](bool ok, const std::string& what) {
        if (!ok) missed.push_back(what);
    };
    char text[160];
    std::snprintf(text, sizeof text, "mean over the four casts %.2f (at most 4)", mean(main[n]));
    check(mean(main[n]) <= 4.0, text);
    std::snprintf(text, sizeof text, "worst quarter %.2f (at most 8)", worstQuarter(main[n]));
    check(worstQuarter(main[n]) <= 8.0, text);
    for (int c = 0; c < castCount; ++c)
        if (castKinds[c].main) {
            std::snprintf(text, sizeof text, "%s %.2f (below normalize's %.2f)", castKinds[c].name,
                          mean(res[n][c]), mean(res[normalize][c]));
            check(mean(res[n][c]) < mean(res[normalize][c]), text);
        }
    std::snprintf(text, sizeof text, "harm mean %.2f (at most 2)", mean(harm[n]));
    check(mean(harm[n]) <= 2.0, text);
    std::snprintf(text, sizeof text, "harm median %.2f (at most 1)", median(harm[n]));
    check(median(harm[n]) <= 1.0, text);
    if (missed.empty()) {
        std::printf("All targets met.\n");
        return 0;
    }
    for (const std::string& m : missed) std::printf("Missed: %s\n", m.c_str());
    return 1;
}
