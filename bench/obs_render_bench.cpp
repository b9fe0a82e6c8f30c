// The OBS filter's cost on OBS's graphics thread a frame at 1080p, in the
// real libobs with velto-obs.so from the build tree (under xvfb-run, on
// whatever OpenGL the display has): a source that draws a 1920 x 1080
// texture, drawn into a texture as OBS draws a scene, with the filter on it
// and, as the baseline in the same run, with the filter off. Each timed
// frame waits (untimed) for the next video frame, so that the filter stages
// and hands over a picture every frame as it does in OBS. The analysis runs
// on the filter's own thread and is timed by bench/obs_bench. Where OpenGL
// is Mesa's software renderer, the GPU's work (drawing, the staging copy)
// is done by the CPU, much of it on this thread; the same at 64 x 48, where
// there is next to none of that work, shows what the filter's calls cost
// on their own. Prints a note and exits 0 where libobs cannot start.
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include <benchmark/benchmark.h>
#include <obs.h>
#include <graphics/vec4.h>

#include "tests/obs/obs_start.h"

namespace {

constexpr uint32_t fps = 60;
constexpr int frames = 300;  // five seconds of video a run

// A source of one size with the filter on it.
struct Scene {
    uint32_t width, height;
    gs_texture_t* texture = nullptr;
    gs_texrender_t* canvas = nullptr;
    obs_source_t* source = nullptr;
    obs_source_t* filter = nullptr;
};
Scene large{1920, 1080}, small{64, 48};

void registerSource()
{
    static obs_source_info drawn{};
    drawn.id = "velto_bench_picture";
    drawn.type = OBS_SOURCE_TYPE_INPUT;
    drawn.output_flags = OBS_SOURCE_VIDEO;
    drawn.get_name = [](void*) { return "Velto bench picture"; };
    drawn.create = [](obs_data_t* settings, obs_source_t*) -> void* {
        return obs_data_get_bool(settings, "small") ? &small : &large;
    };
    drawn.destroy = [](void*) {};
    drawn.get_width = [](void* data) { return static_cast<Scene*>(data)->width; };
    drawn.get_height = [](void* data) { return static_cast<Scene*>(data)->height; };
    drawn.video_render = [](void* data, gs_effect_t*) {
        obs_source_draw(static_cast<Scene*>(data)->texture, 0, 0, 0, 0, false);
    };
    obs_register_source(&drawn);
}

bool makeScene(Scene& scene)
{
    const uint32_t width = scene.width, height = scene.height;
    std::vector<uint32_t> words(size_t(width) * height);
    for (size_t i = 0; i < words.size(); ++i) {
        const size_t x = i % width, y = i / width;
        words[i] = 0xff000000u | uint32_t(40 + x * 200 / width) << 16 |
                   uint32_t(30 + y * 160 / height) << 8 | uint32_t(20 + (i * 2654435761u >> 27 & 63));
    }
    const uint8_t* data = reinterpret_cast<const uint8_t*>(words.data());
    obs_enter_graphics();
    scene.texture = gs_texture_create(width, height, GS_BGRA, 1, &data, 0);
    scene.canvas = gs_texrender_create(GS_RGBA, GS_ZS_NONE);
    obs_leave_graphics();
    obs_data_t* which = obs_data_create();
    obs_data_set_bool(which, "small", &scene == &small);
    scene.source = obs_source_create_private("velto_bench_picture", "picture", which);
    obs_data_release(which);
    scene.filter = obs_source_create_private("velto_filter", "velto", nullptr);
    if (!scene.texture || !scene.canvas || !scene.source || !scene.filter) return false;
    obs_source_filter_add(scene.source, scene.filter);
    return true;
}

void drawFrame(Scene& scene)
{
    obs_enter_graphics();
    gs_texrender_reset(scene.canvas);
    if (gs_texrender_begin(scene.canvas, scene.width, scene.height)) {
        vec4 clear;
        vec4_zero(&clear);
        gs_clear(GS_CLEAR_COLOR, &clear, 0.0f, 0);
        gs_ortho(0.0f, float(scene.width), 0.0f, float(scene.height), -100.0f, 100.0f);
        obs_source_video_render(scene.source);
        gs_texrender_end(scene.canvas);
    }
    gs_flush();
    obs_leave_graphics();
}

void drawFrames(benchmark::State& state, Scene* of, bool filtered)
{
    Scene& scene = *of;
    obs_source_set_enabled(scene.filter, filtered);
    uint64_t last = obs_get_video_frame_time();
    for (auto _ : state) {
        state.PauseTiming();
        while (obs_get_video_frame_time() == last)
            std::this_thread::sleep_for(std::chrono::microseconds(500));
        last = obs_get_video_frame_time();
        state.ResumeTiming();
        drawFrame(scene);
    }
}

}  // namespace

BENCHMARK_CAPTURE(drawFrames, draw_1080p_filter_off, &large, false)->Iterations(frames)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(drawFrames, draw_1080p_filter_on, &large, true)->Iterations(frames)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(drawFrames, draw_64x48_filter_off, &small, false)->Iterations(frames)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(drawFrames, draw_64x48_filter_on, &small, true)->Iterations(frames)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    const bool started =
        startObs(VELTO_OBS_MODULE_DIR, VELTO_OBS_DATA_DIR, large.width, large.height, fps);
    if (started) registerSource();
    if (!started || !makeScene(large) || !makeScene(small)) {
        std::printf("libobs did not start or velto-obs did not load (no X display?): nothing timed\n");
        return 0;
    }
    benchmark::RunSpecifiedBenchmarks();
    for (Scene* scene : {&large, &small}) {
        obs_source_release(scene->filter);
        obs_source_release(scene->source);
        obs_enter_graphics();
        gs_texrender_destroy(scene->canvas);
        gs_texture_destroy(scene->texture);
        obs_leave_graphics();
    }
    obs_shutdown();
    benchmark::Shutdown();
    return 0;
}
