// The filter in the real libobs: a host of our own starts libobs (it needs
// an X display for its OpenGL back end: run under xvfb-run), loads
// velto-obs.so from the build tree, puts the filter on sources of its own
// (one that draws a texture, one that is handed frames in memory as a
// webcam's are), draws them frame after frame into a texture and reads it
// back. Exits with 77 (skipped) when libobs cannot start.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <thread>
#include <vector>

#include <obs.h>
#include <obs-module.h>
#include <media-io/video-io.h>
#include <util/platform.h>
#include <graphics/vec4.h>

#include "engine/classic/bottom_up.h"
#include "engine/neutral/neutral_pass.h"
#include "tests/obs/obs_start.h"

namespace {

constexpr int width = 64, height = 48;

// A source that draws a texture, as screen capture or an image does.
struct Picture {
    gs_texture_t* texture = nullptr;
} picture;

void registerTestTypes()
{
    static obs_source_info frames{};
    frames.id = "velto_test_frames";
    frames.type = OBS_SOURCE_TYPE_INPUT;
    frames.output_flags = OBS_SOURCE_ASYNC_VIDEO;
    frames.get_name = [](void*) { return "Velto test frames"; };
    frames.create = [](obs_data_t*, obs_source_t* s) -> void* { return s; };
    frames.destroy = [](void*) {};
    obs_register_source(&frames);
    static obs_source_info drawn{};
    drawn.id = "velto_test_picture";
    drawn.type = OBS_SOURCE_TYPE_INPUT;
    drawn.output_flags = OBS_SOURCE_VIDEO;
    drawn.get_name = [](void*) { return "Velto test picture"; };
    drawn.create = [](obs_data_t*, obs_source_t* s) -> void* { return s; };
    drawn.destroy = [](void*) {};
    drawn.get_width = [](void*) { return uint32_t(width); };
    drawn.get_height = [](void*) { return uint32_t(height); };
    drawn.video_render = [](void*, gs_effect_t*) {
        if (picture.texture) obs_source_draw(picture.texture, 0, 0, 0, 0, false);
    };
    obs_register_source(&drawn);
}

void showPicture(const std::vector<uint32_t>& words)
{
    obs_enter_graphics();
    gs_texture_destroy(picture.texture);
    const uint8_t* data = reinterpret_cast<const uint8_t*>(words.data());
    picture.texture = gs_texture_create(width, height, GS_BGRA, 1, &data, 0);
    obs_leave_graphics();
}

// One frame of the source as OBS draws it, read back from the GPU as BGRA
// words, top row first; empty where that failed. OBS's video thread goes on
// meanwhile, so that the video's frame time moves on between calls.
std::vector<uint32_t> draw(obs_source_t* source)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(40));
    std::vector<uint32_t> words;
    obs_enter_graphics();
    gs_texrender_t* texrender = gs_texrender_create(GS_BGRA, GS_ZS_NONE);
    gs_stagesurf_t* stage = gs_stagesurface_create(width, height, GS_BGRA);
    if (texrender && stage && gs_texrender_begin_with_color_space(texrender, width, height, GS_CS_SRGB)) {
        vec4 clear;
        vec4_zero(&clear);
        gs_clear(GS_CLEAR_COLOR, &clear, 0.0f, 0);
        gs_ortho(0.0f, float(width), 0.0f, float(height), -100.0f, 100.0f);
        gs_blend_state_push();
        gs_blend_function(GS_BLEND_ONE, GS_BLEND_INVSRCALPHA);
        obs_source_video_render(source);
        gs_blend_state_pop();
        gs_texrender_end(texrender);
        gs_stage_texture(stage, gs_texrender_get_texture(texrender));
        uint8_t* bytes;
        uint32_t linesize;
        if (gs_stagesurface_map(stage, &bytes, &linesize)) {
            words.resize(size_t(width) * height);
            for (int y = 0; y < height; ++y)
                std::memcpy(&words[size_t(y) * width], bytes + size_t(y) * linesize, width * 4);
            gs_stagesurface_unmap(stage);
        }
    }
    gs_stagesurface_destroy(stage);
    gs_texrender_destroy(texrender);
    obs_leave_graphics();
    return words;
}

// A frame handed to an asynchronous source shows once OBS's video thread
// has taken it up (a new format makes new textures first): drawn until
// two frames in a row show the same picture, not nothing; empty where none.
std::vector<uint32_t> drawTakenUp(obs_source_t* source)
{
    std::vector<uint32_t> last, got;
    for (int i = 0; i < 20; ++i) {
        got = draw(source);
        const bool shows = std::any_of(got.begin(), got.end(), [](uint32_t w) { return w != 0; });
        if (shows && got == last) return got;
        last = got;
    }
    return {};
}

// The first of up to `frames` drawn frames that is want; empty where none.
std::vector<uint32_t> drawUntil(obs_source_t* source, const std::vector<uint32_t>& want,
                                int frames, int& drawn)
{
    std::vector<uint32_t> got;
    for (drawn = 1; drawn <= frames; ++drawn)
        if ((got = draw(source)) == want) break;
    return got;
}

// A cast picture: warm light, a grey ramp and colour patches; opaque, as
// OBS's pictures are where their colours are compared byte for byte (it
// keeps colour times alpha).
std::vector<uint32_t> castPicture(int seed)
{
    std::vector<uint32_t> p(size_t(width) * height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const uint32_t v = uint32_t(x * 255 / (width - 1));
            const uint32_t r = std::min(255u, v * 9 / 8 + 10), g = v * 7 / 8 + uint32_t(y % 5);
            const uint32_t b = v * 5 / 8 + uint32_t((x * y + seed) % 13);
            p[size_t(y) * width + x] = 0xff000000u | r << 16 | g << 8 | b;
        }
    return p;
}

std::vector<uint32_t> neutralOf(const std::vector<uint32_t>& picture)
{
    std::vector<uint32_t> out(picture.size());
    runNeutralPass(NeutralSettings{}, {picture.data(), width, height, 0}, out.data(), 0, nullptr,
                   TopByte::carried);
    return out;
}

// BT.709 in limited range, as a webcam gives it: the picture (whose 2 x 2
// blocks are each of one colour, so that NV12 holds it) as NV12 bytes, by
// the standard's own formulas.
struct Nv12 {
    std::vector<uint8_t> bytes;  // Y plane, then UV
    float matrix[16], low[3], high[3];
};

Nv12 nv12Of(const std::vector<uint32_t>& p)
{
    Nv12 n;
    video_format_get_parameters_for_format(VIDEO_CS_709, VIDEO_RANGE_PARTIAL, VIDEO_FORMAT_NV12,
                                           n.matrix, n.low, n.high);
    n.bytes.resize(size_t(width) * height * 3 / 2);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const uint32_t w = p[size_t(y) * width + x];
            const double r = (w >> 16 & 0xff) / 255.0, g = (w >> 8 & 0xff) / 255.0,
                         b = (w & 0xff) / 255.0;
            const double luma = 0.2126 * r + 0.7152 * g + 0.0722 * b;
            n.bytes[size_t(y) * width + x] = uint8_t(std::lround(16.0 + 219.0 * luma));
            if (x % 2 || y % 2) continue;
            uint8_t* uv = &n.bytes[size_t(width) * height + size_t(y / 2) * width + x];
            uv[0] = uint8_t(std::lround(128.0 + 224.0 * (b - luma) / 1.8556));
            uv[1] = uint8_t(std::lround(128.0 + 224.0 * (r - luma) / 1.5748));
        }
    return n;
}

int failures = 0;

void expect(bool ok, const char* what)
{
    std::printf("%s %s\n", ok ? "ok  " : "FAIL", what);
    failures += ok ? 0 : 1;
}

// Each channel of got within 1 of want's.
void expectNear(const char* what, const std::vector<uint32_t>& got, const std::vector<uint32_t>& want)
{
    if (got.size() != want.size()) return expect(false, what);
    int worst = 0;
    for (size_t i = 0; i < want.size(); ++i)
        for (int shift : {0, 8, 16})
            worst = std::max(worst, std::abs(int(got[i] >> shift & 0xff) - int(want[i] >> shift & 0xff)));
    std::printf("%s %s (at most %d levels off)\n", worst <= 1 ? "ok  " : "FAIL", what, worst);
    failures += worst <= 1 ? 0 : 1;
}

// Frames as a webcam hands them over: the same picture as NV12, I420 and
// YUY2, in BT.709 limited range.
struct YuvFrames {
    Nv12 nv12;
    std::vector<uint8_t> u, v, yuy2;
};

YuvFrames yuvFrames(const std::vector<uint32_t>& blocks)
{
    YuvFrames f{nv12Of(blocks), {}, {}, {}};
    const uint8_t* uvPlane = f.nv12.bytes.data() + size_t(width) * height;
    f.u.resize(size_t(width / 2) * (height / 2));
    f.v.resize(f.u.size());
    f.yuy2.resize(size_t(width) * height * 2);
    for (size_t i = 0; i < f.u.size(); ++i) f.u[i] = uvPlane[i * 2], f.v[i] = uvPlane[i * 2 + 1];
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint8_t* pair = &f.yuy2[size_t(y) * width * 2 + size_t(x / 2) * 4];
            pair[(x % 2) * 2] = f.nv12.bytes[size_t(y) * width + x];
            pair[1] = f.u[size_t(y / 2) * (width / 2) + x / 2];
            pair[3] = f.v[size_t(y / 2) * (width / 2) + x / 2];
        }
    return f;
}

void outputFrame(obs_source_t* source, YuvFrames& f, video_format format, uint64_t time)
{
    obs_source_frame frame{};
    uint8_t* luma = f.nv12.bytes.data();
    if (format == VIDEO_FORMAT_NV12) {
        frame.data[0] = luma;
        frame.data[1] = luma + size_t(width) * height;
        frame.linesize[0] = frame.linesize[1] = width;
    } else if (format == VIDEO_FORMAT_I420) {
        frame.data[0] = luma;
        frame.data[1] = f.u.data();
        frame.data[2] = f.v.data();
        frame.linesize[0] = width;
        frame.linesize[1] = frame.linesize[2] = width / 2;
    } else {
        frame.data[0] = f.yuy2.data();
        frame.linesize[0] = width * 2;
    }
    frame.width = width;
    frame.height = height;
    frame.format = format;
    frame.timestamp = time;
    std::memcpy(frame.color_matrix, f.nv12.matrix, sizeof f.nv12.matrix);
    std::memcpy(frame.color_range_min, f.nv12.low, sizeof f.nv12.low);
    std::memcpy(frame.color_range_max, f.nv12.high, sizeof f.nv12.high);
    obs_source_output_video(source, &frame);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: obs_host MODULE_DIR DATA_DIR\n");
        return 2;
    }
    if (!startObs(argv[1], argv[2], width, height, 30)) {
        std::printf("libobs did not start or velto-obs did not load (no X display?): skipped\n");
        return 77;
    }
    registerTestTypes();
    obs_data_t* settings = obs_data_create();
    obs_data_set_double(settings, "steady", 0.0);
    obs_source_t* drawn = obs_source_create_private("velto_test_picture", "picture", nullptr);
    obs_source_t* frames = obs_source_create_private("velto_test_frames", "frames", nullptr);
    obs_source_t* filter = obs_source_create_private("velto_filter", "velto", settings);
    obs_source_t* framesFilter = obs_source_create_private("velto_filter", "velto 2", settings);
    if (!drawn || !frames || !filter || !framesFilter) {
        std::printf("FAIL the sources were not made\n");
        return 1;
    }
    obs_source_filter_add(drawn, filter);
    obs_source_set_async_unbuffered(frames, true);
    obs_source_filter_add(frames, framesFilter);
    // OBS takes an asynchronous source's frame up for the one video frame
    // after it came; its own video thread draws the source every frame, so
    // that none is missed between the test's draws.
    obs_set_output_source(0, frames);

    // A source drawn on the GPU: the engine's bytes a few frames after its
    // picture first shows (the analysis lags the picture by design).
    const std::vector<uint32_t> cast = castPicture(0);
    showPicture(cast);
    std::vector<uint32_t> classic(cast.size());
    BlockLevels levels;
    correctFrame(defaultStrengths, cast.data(), classic.data(), width, height, levels,
                 TopByte::carried);
    int drawnFrames = 0;
    drawUntil(drawn, neutralOf(cast), 8, drawnFrames);
    expect(drawnFrames <= 5, "a drawn source, neutral, steady off: the engine's bytes by the fifth frame");

    obs_data_set_string(settings, "method", "classic");
    obs_source_update(filter, settings);
    drawUntil(drawn, classic, 8, drawnFrames);
    expect(drawnFrames <= 4, "the method changed: the classic's bytes within four frames");

    // A still picture with steady levels settles and does not pump.
    obs_data_set_string(settings, "method", "neutral");
    obs_data_set_double(settings, "steady", 1.0);
    obs_source_update(filter, settings);
    const std::vector<uint32_t> settled = drawUntil(drawn, neutralOf(cast), 8, drawnFrames);
    bool still = drawnFrames <= 5;
    for (int i = 0; i < 20 && still; ++i) still = draw(drawn) == settled;
    expect(still, "a still picture with steady levels settles and does not pump");

    // Alpha as the source drew it, whatever the colours.
    std::vector<uint32_t> seeThrough = cast;
    for (size_t i = 0; i < seeThrough.size(); ++i)
        seeThrough[i] = (seeThrough[i] & 0xffffff) | uint32_t(64 + i % 192) << 24;
    showPicture(seeThrough);
    obs_source_set_enabled(filter, false);
    const std::vector<uint32_t> plain = draw(drawn);
    obs_source_set_enabled(filter, true);
    std::vector<uint32_t> through;
    for (int i = 0; i < 4; ++i) through = draw(drawn);
    bool alpha = !through.empty() && through.size() == plain.size();
    for (size_t i = 0; alpha && i < plain.size(); ++i) alpha = through[i] >> 24 == plain[i] >> 24;
    expect(alpha, "alpha kept");

    // Frames in memory: BGRA the engine's bytes; NV12, I420 and YUY2 as OBS
    // shows them within 1 level of the engine's correction of what OBS
    // shows without the filter.
    obs_data_set_double(settings, "steady", 0.0);
    obs_source_update(framesFilter, settings);
    uint64_t time = os_gettime_ns();
    constexpr uint64_t period = 1000000000 / 30;
    obs_source_frame bgra{};
    bgra.data[0] = reinterpret_cast<uint8_t*>(const_cast<uint32_t*>(cast.data()));
    bgra.linesize[0] = width * 4;
    bgra.width = width;
    bgra.height = height;
    bgra.format = VIDEO_FORMAT_BGRA;
    bgra.timestamp = time += period;
    bgra.full_range = true;
    obs_source_output_video(frames, &bgra);
    drawTakenUp(frames);
    drawUntil(frames, neutralOf(cast), 8, drawnFrames);
    expect(drawnFrames <= 5, "BGRA frames: the engine's bytes");

    std::vector<uint32_t> blocks = castPicture(3);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            blocks[size_t(y) * width + x] = blocks[size_t(y & ~1) * width + (x & ~1)];
    YuvFrames yuv = yuvFrames(blocks);
    const struct {
        video_format format;
        const char* what;
    } formats[] = {{VIDEO_FORMAT_NV12, "NV12 frames: the engine's colours on what OBS shows"},
                   {VIDEO_FORMAT_I420, "I420 frames: the engine's colours on what OBS shows"},
                   {VIDEO_FORMAT_YUY2, "YUY2 frames: the engine's colours on what OBS shows"}};
    for (const auto& f : formats) {
        outputFrame(frames, yuv, f.format, time += period);
        obs_source_set_enabled(framesFilter, false);
        const std::vector<uint32_t> shown = drawTakenUp(frames);
        obs_source_set_enabled(framesFilter, true);
        std::vector<uint32_t> got;
        for (int i = 0; i < 5; ++i) got = draw(frames);
        expectNear(f.what, got, shown.empty() ? shown : neutralOf(shown));
    }

    obs_set_output_source(0, nullptr);
    obs_source_release(framesFilter);
    obs_source_release(filter);
    obs_source_release(frames);
    obs_source_release(drawn);
    obs_data_release(settings);
    obs_enter_graphics();
    gs_texture_destroy(picture.texture);
    obs_leave_graphics();
    obs_shutdown();
    return failures ? 1 : 0;
}
