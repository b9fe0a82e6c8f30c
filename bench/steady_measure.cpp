// What --steady does to generated clips: flicker, frames to settle after a
// cut, and how far the steady levels stray from the per-frame ones on a pan,
// with and without the option. Prints a table and exits with 1 when a target
// is missed. Not a timing.
//
//   steady_measure [--steady SECONDS] [--cut CHANGE] [--hold LEVELS] [--series FILE]
//
// --series writes the levels of every frame, per clip and way, as gnuplot data
// (tools/steady-plot.sh draws docs/steady.png from it).
//
// Clips of 320 x 240 at 25 frames a second, levels 20, 20, 20, each 12 s,
// with sensor noise and light that rises and falls by 6 % over 10 s:
//   static    one scene
//   cuts      a cut every 2 s to the next of five scenes, each with other
//             content and another colour cast
//   pan       a slow pan, 25 pixels a second, across a scene whose cast turns
//             from warm to cool from left to right
//   fast pan  the same at 200 pixels a second, a fortieth of the width a frame
// The targets: on the static clip the steady flicker at most 1.10 x the
// input's; after every cut the levels within 1 of the new scene's own within
// 1 frame; on the slow pan the steady levels within 2 of the per-frame levels
// of one time constant before.
#include <cmath>
#include <cstdio>
#include <numbers>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/correct.h"
#include "engine/frame_pass.h"
#include "engine/steady.h"
#include "tests/support/pictures.h"

namespace {

constexpr int32_t width = 320, height = 240;
constexpr double fps = 25.0;
constexpr int32_t clipFrames = 300;
constexpr int32_t shotFrames = 50;  // cuts clip

// A colour cast: channel = lift + gain * light.
struct Cast {
    double gain[3], lift[3];  // red, green, blue
};

constexpr Cast casts[] = {
    {{0.98, 0.88, 0.70}, {18, 10, 4}},  // tungsten, lifted blacks
    {{0.78, 0.90, 1.00}, {2, 6, 16}},   // blue shade
    {{1.00, 0.80, 0.95}, {8, 2, 10}},   // magenta
    {{0.84, 1.00, 0.78}, {4, 12, 2}},   // green fluorescent
    {{0.92, 0.92, 0.90}, {6, 6, 6}},    // nearly neutral, hazy
};

// A scene's light before the cast, per pixel and channel: three materials
// in patches, shaded and textured.
struct Scene {
    int32_t w, h;
    std::vector<float> light;  // w * h * 3
};

Scene paintClipScene(int32_t w, int32_t h, uint32_t seed)
{
    Random random{seed};
    const Lattice patches(w, h, 48.0, random), shade(w, h, 14.0, random), grain(w, h, 4.0, random);
    double material[3][3];
    for (auto& m : material)
        for (double& c : m) c = 40.0 + 190.0 * random.unit();
    Scene s{w, h, std::vector<float>(size_t(w) * size_t(h) * 3)};
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) {
            const double p = patches.at(x, y);
            const int32_t m = p < 0.4 ? 0 : (p < 0.65 ? 1 : 2);
            const double f = (0.55 + 0.6 * shade.at(x, y)) * (0.8 + 0.4 * grain.at(x, y));
            for (int32_t c = 0; c < 3; ++c)
                s.light[(size_t(y) * size_t(w) + size_t(x)) * 3 + size_t(c)] =
                    static_cast<float>(material[m][c] * f);
        }
    return s;
}

// One frame: the scene's window at column offset, its light times
// brightness, the cast (blended from a to b across the scene's width when
// they differ), then sensor noise.
void renderFrame(const Scene& s, int32_t offset, double brightness, const Cast& a, const Cast& b,
                 Random& noise, std::vector<uint32_t>& frame)
{
    frame.resize(size_t(width) * size_t(height));
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x) {
            const int32_t sx = x + offset;
            const double t = s.w > 1 ? static_cast<double>(sx) / (s.w - 1) : 0.0;
            uint32_t pixel = 0;
            for (int32_t c = 0; c < 3; ++c) {
                const double gain = a.gain[c] + (b.gain[c] - a.gain[c]) * t;
                const double lift = a.lift[c] + (b.lift[c] - a.lift[c]) * t;
                const double light = s.light[(size_t(y) * size_t(s.w) + size_t(sx)) * 3 + size_t(c)];
                double v = lift + gain * light * brightness + 3.0 * noise.normal();
                v = v < 0.0 ? 0.0 : (v > 255.0 ? 255.0 : v);
                pixel |= static_cast<uint32_t>(v) << (16 - 8 * c);
            }
            frame[size_t(y) * size_t(width) + size_t(x)] = pixel;
        }
}

// A clip: one scene, or a cut every shotFrames frames to the next of five
// differently cast scenes; panned by panSpeed pixels a frame across a scene
// whose cast turns from the first to the second.
struct Clip {
    const char* name;
    int32_t shotFrames;  // 0: no cut
    int32_t panSpeed;
};

constexpr Clip clips[] = {
    {"static", 0, 0},
    {"cuts", 50, 0},
    {"pan", 0, 1},
    {"fast pan", 0, 8},
};

// Light rising and falling by 6 % over 10 s, as a cloud passing.
double brightnessAt(int32_t frame)
{
    return 1.0 + 0.06 * std::sin(2.0 * std::numbers::pi * frame / (10.0 * fps));
}

struct ChannelMeans {
    double m[3];
};

ChannelMeans meansOf(const uint32_t* pixels, size_t count)
{
    uint64_t sum[3] = {0, 0, 0};
    for (size_t i = 0; i < count; ++i)
        for (int32_t c = 0; c < 3; ++c) sum[c] += (pixels[i] >> (16 - 8 * c)) & 0xFF;
    return {{double(sum[0]) / double(count), double(sum[1]) / double(count),
             double(sum[2]) / double(count)}};
}

constexpr double CorrectionLevels::*allLevels[] = {
    &CorrectionLevels::blackR, &CorrectionLevels::blackG, &CorrectionLevels::blackB,
    &CorrectionLevels::whiteR, &CorrectionLevels::whiteG, &CorrectionLevels::whiteB};

// What one way of choosing the levels did over a clip.
struct Track {
    const char* name;
    bool steady;
    SteadySettings settings;
    SteadyState state{};
    std::vector<ChannelMeans> means;
    std::vector<CorrectionLevels> used;
    int32_t byteChanges = 0;
    CorrectionBytes lastBytes{};
};

double flicker(const std::vector<ChannelMeans>& means, int32_t c)
{
    double total = 0.0;
    for (size_t i = 1; i < means.size(); ++i) total += std::fabs(means[i].m[c] - means[i - 1].m[c]);
    return means.size() > 1 ? total / double(means.size() - 1) : 0.0;
}

double largestLevelGap(const CorrectionLevels& a, const CorrectionLevels& b)
{
    double most = 0.0;
    for (double CorrectionLevels::*level : allLevels)
        most = std::fmax(most, std::fabs(a.*level - b.*level));
    return most;
}

std::string fixed2(double v)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", v);
    return text;
}

struct Targets {
    bool met = true;
    void check(bool ok, const std::string& what)
    {
        std::printf("  target: %-62s %s\n", what.c_str(), ok ? "met" : "MISSED");
        met = met && ok;
    }
};

struct Choice {
    double steadySeconds, cutThreshold, hold;
};

// One block of gnuplot data a clip and way: time, the six levels, the gains.
void writeSeries(std::FILE* out, const Clip& clip, const Track& track)
{
    std::fprintf(out, "# %s, %s\n", clip.name, track.name);
    for (size_t t = 0; t < track.used.size(); ++t) {
        const CorrectionLevels& l = track.used[t];
        const CorrectionBytes b = correctionBytes(l);
        std::fprintf(out, "%.2f %.4f %.4f %.4f %.4f %.4f %.4f %d %d %d\n", double(t) / fps,
                     l.blackR, l.blackG, l.blackB, l.whiteR, l.whiteG, l.whiteB, b.gainR, b.gainG,
                     b.gainB);
    }
    std::fprintf(out, "\n\n");
}

void measureClip(const Clip& clip, const Choice& choice, Targets& targets, std::FILE* series)
{
    const int32_t sceneCount = clip.shotFrames > 0 ? 5 : 1;
    std::vector<Scene> scenes;
    for (int32_t i = 0; i < sceneCount; ++i)
        scenes.push_back(paintClipScene(width + clipFrames * clip.panSpeed, height, 1000u + 77u * uint32_t(i)));

    const double weight = steadyWeight(choice.steadySeconds, 1.0 / fps);
    const double never = 2.0;  // above every sceneChange
    std::vector<Track> tracks = {
        {"per frame", false, {1.0, 0.0, 0.0}, {}, {}, {}},
        {"steady", true, {weight, choice.cutThreshold, choice.hold}, {}, {}, {}},
        {"no cuts", true, {weight, never, choice.hold}, {}, {}, {}},
        {"fixed", true, {0.0, never, 0.0}, {}, {}, {}},
    };
    std::vector<ChannelMeans> input;
    std::vector<CorrectionLevels> perFrame;
    std::vector<int32_t> cuts;
    std::vector<uint32_t> frame, corrected(size_t(width) * size_t(height));
    Random noise{42};
    double quietChange = 0.0, cutChange = 1.0;  // largest within a shot, smallest at a cut
    SceneSignature previous{};

    for (int32_t t = 0; t < clipFrames; ++t) {
        const bool cut = clip.shotFrames > 0 && t > 0 && t % clip.shotFrames == 0;
        if (cut) cuts.push_back(t);
        const int32_t shot = clip.shotFrames > 0 ? (t / clip.shotFrames) % sceneCount : 0;
        const Cast& near = casts[shot];
        const Cast& far = clip.panSpeed > 0 ? casts[1] : near;
        renderFrame(scenes[size_t(shot)], t * clip.panSpeed, brightnessAt(t), near, far, noise,
                    frame);
        const FrameView view = {frame.data(), width, height, 0};
        input.push_back(meansOf(frame.data(), frame.size()));

        BlockLevels levels;
        SceneSignature signature;
        analyzeMeasuredBlocks(defaultStrengths, view, levels, &signature);
        const CorrectionLevels own = correctionLevels(levels);
        perFrame.push_back(own);
        if (t > 0) {
            const double change = sceneChange(previous, signature);
            if (cut)
                cutChange = std::fmin(cutChange, change);
            else
                quietChange = std::fmax(quietChange, change);
        }
        previous = signature;

        for (Track& track : tracks) {
            CorrectionLevels use = own;
            if (track.steady) {
                track.state = steadyStep(track.state, own, signature, track.settings);
                use = track.state.levels;
            }
            const CorrectionBytes bytes = correctionBytes(use);
            if (t > 0 && (bytes.gainWord != track.lastBytes.gainWord ||
                          bytes.blackWord != track.lastBytes.blackWord))
                ++track.byteChanges;
            track.lastBytes = bytes;
            track.used.push_back(use);
            correctPixels(use, view, corrected.data(), 0);
            track.means.push_back(meansOf(corrected.data(), corrected.size()));
        }
    }

    std::printf("\n%s: scene change within shots up to %.3f", clip.name, quietChange);
    if (!cuts.empty()) std::printf(", at the %zu cuts from %.3f", cuts.size(), cutChange);
    std::printf("\n  %-10s %20s %8s %10s %7s %7s\n", "levels", "flicker R, G, B", "x input",
                "new bytes", "settle", "off by");
    const double in[3] = {flicker(input, 0), flicker(input, 1), flicker(input, 2)};
    std::printf("  %-10s %6.3f %6.3f %6.3f\n", "input", in[0], in[1], in[2]);
    const int32_t lag = static_cast<int32_t>(std::lround(choice.steadySeconds * fps));
    double steadyRatio = 0.0, steadyOff = 0.0;
    int32_t steadySettle = 0;
    for (const Track& track : tracks) {
        double f[3], ratio = 0.0;
        for (int32_t c = 0; c < 3; ++c) {
            f[c] = flicker(track.means, c);
            ratio = std::fmax(ratio, f[c] / in[c]);
        }
        // Frames after a cut until every level is within 1 of that frame's
        // own; a whole shot when they never are.
        int32_t settle = 0;
        for (int32_t at : cuts) {
            int32_t k = 0;
            while (k < clip.shotFrames && at + k < clipFrames &&
                   largestLevelGap(track.used[size_t(at + k)], perFrame[size_t(at + k)]) > 1.0)
                ++k;
            settle = std::max(settle, k);
        }
        // The largest distance from the per-frame levels of lag frames before.
        double off = 0.0;
        for (int32_t t = lag; t < clipFrames; ++t)
            off = std::fmax(off, largestLevelGap(track.used[size_t(t)], perFrame[size_t(t - lag)]));
        const bool hasCuts = !cuts.empty();
        std::printf("  %-10s %6.3f %6.3f %6.3f %8.2f %10d %7s %7s\n", track.name, f[0], f[1], f[2],
                    ratio, track.byteChanges, !hasCuts ? "-" : settle < clip.shotFrames ? std::to_string(settle).c_str() : "never",
                    hasCuts ? "-" : fixed2(off).c_str());
        if (series) writeSeries(series, clip, track);
        if (track.name == std::string("steady")) {
            steadyRatio = ratio;
            steadySettle = settle;
            steadyOff = off;
        }
    }
    if (clip.name == std::string("static"))
        targets.check(steadyRatio <= 1.10, "static: steady flicker at most 1.10 x the input's");
    if (clip.name == std::string("cuts"))
        targets.check(steadySettle <= 1, "cuts: steady levels the new scene's within 1 frame");
    if (clip.name == std::string("pan"))
        targets.check(steadyOff <= 2.0, "pan: steady levels within 2 of the per-frame, lag behind");
}

bool parseNumber(const char* text, double& value)
{
    char* end = nullptr;
    value = std::strtod(text, &end);
    return end != text && *end == '\0' && value >= 0.0 && value < 1e6;
}

}  // namespace

int main(int argc, char** argv)
{
    Choice choice = {1.0, steadyCutThreshold, steadyHold};
    std::FILE* series = nullptr;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--series" && i + 1 < argc) {
            series = std::fopen(argv[++i], "w");
            if (!series) {
                std::fprintf(stderr, "steady_measure: cannot write %s\n", argv[i]);
                return 1;
            }
            continue;
        }
        double* value = arg == "--steady" ? &choice.steadySeconds
                        : arg == "--cut"  ? &choice.cutThreshold
                        : arg == "--hold" ? &choice.hold
                                          : nullptr;
        if (!value || i + 1 == argc || !parseNumber(argv[++i], *value)) {
            std::fprintf(stderr,
                         "usage: steady_measure [--steady SECONDS] [--cut CHANGE] [--hold LEVELS] "
                         "[--series FILE]\n");
            return 2;
        }
    }
    std::printf(
        "Generated clips of %dx%d, %d frames at %.0f fps, levels 20,20,20. Steady: time constant "
        "%.2f s,\na new scene above a change of %.3f, held within %.2f levels.\n"
        "  flicker    mean change of a channel's mean from one frame to the next\n"
        "  x input    the largest of the three over the input's\n"
        "  new bytes  frames whose gains or black bytes differ from the frame before\n"
        "  settle     frames after a cut until all six levels are within 1 of the frame's own\n"
        "  off by     the largest distance of a level from the per-frame one %.2f s before\n"
        "  per frame: without the option; steady: with it; no cuts: steady without cut "
        "detection;\n  fixed: the first frame's levels throughout (the stretch alone)\n",
        width, height, clipFrames, fps, choice.steadySeconds, choice.cutThreshold, choice.hold,
        choice.steadySeconds);
    Targets targets;
    for (const Clip& clip : clips) measureClip(clip, choice, targets, series);
    if (series && std::fclose(series) != 0) {
        std::fprintf(stderr, "steady_measure: the series could not be written\n");
        return 1;
    }
    std::printf("\n%s\n", targets.met ? "All targets met." : "A target is missed.");
    return targets.met ? 0 : 1;
}
