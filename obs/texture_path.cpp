#include "obs/texture_path.h"

#include <graphics/vec4.h>

namespace {

constexpr uint32_t largest = 16384;  // the largest picture corrected; larger pass through
constexpr uint64_t stageDelay = 2;   // frames between staging a picture and mapping it

// What a target may give; the first two are SDR, which the filter corrects.
const enum gs_color_space targetSpaces[] = {GS_CS_SRGB, GS_CS_SRGB_16F, GS_CS_709_EXTENDED};

enum gs_color_space spaceOf(obs_source_t* target)
{
    return obs_source_get_color_space(target, sizeof targetSpaces / sizeof targetSpaces[0],
                                      targetSpaces);
}

bool sdr(enum gs_color_space space)
{
    return space == GS_CS_SRGB || space == GS_CS_SRGB_16F;
}

// The worker's surface back in the ring once it is done with it; its
// newest maps into the maps texture.
void collect(TexturePath& p, AnalysisWorker& w)
{
    uint32_t words[256];
    if (takeMaps(w, p.mapsSerial, words))
        gs_texture_set_image(p.maps, reinterpret_cast<const uint8_t*>(words), sizeof words, false);
    if (workerBusy(w)) return;
    for (StageSlot& s : p.ring)
        if (s.state == StageSlot::State::mapped) {
            gs_stagesurface_unmap(s.surface);
            s.state = StageSlot::State::free;
        }
}

// The target drawn as OBS draws a filter's input: over transparent black,
// colour times alpha, in 8-bit sRGB.
bool drawTarget(gs_texrender_t* into, obs_source_t* filter, uint32_t cx, uint32_t cy)
{
    obs_source_t* target = obs_filter_get_target(filter);
    obs_source_t* parent = obs_filter_get_parent(filter);
    gs_texrender_reset(into);
    if (!gs_texrender_begin_with_color_space(into, cx, cy, GS_CS_SRGB)) return false;
    gs_blend_state_push();
    gs_blend_function_separate(GS_BLEND_SRCALPHA, GS_BLEND_INVSRCALPHA, GS_BLEND_ONE,
                               GS_BLEND_INVSRCALPHA);
    vec4 clear;
    vec4_zero(&clear);
    gs_clear(GS_CLEAR_COLOR, &clear, 0.0f, 0);
    gs_ortho(0.0f, float(cx), 0.0f, float(cy), -100.0f, 100.0f);
    const uint32_t flags = obs_source_get_output_flags(parent);
    if (target == parent && !(flags & (OBS_SOURCE_CUSTOM_DRAW | OBS_SOURCE_ASYNC)))
        obs_source_default_render(target);
    else
        obs_source_video_render(target);
    gs_blend_state_pop();
    gs_texrender_end(into);
    return true;
}

// Every pixel through the maps, drawn where OBS wants the filter's output
// (with the caller's transform and blending), as OBS draws a filter's
// result: in linear light, the maps read as sRGB and the target's sRGB
// encoding turning them back into the maps' bytes.
void drawCorrected(TexturePath& p, gs_texture_t* picture, uint32_t cx, uint32_t cy)
{
    const bool srgb = gs_framebuffer_srgb_enabled();
    gs_enable_framebuffer_srgb(true);
    gs_effect_set_texture(p.imageParam, picture);
    gs_effect_set_texture_srgb(p.mapsParam, p.maps);
    while (gs_effect_loop(p.effect, "Draw")) gs_draw_sprite(picture, 0, cx, cy);
    gs_enable_framebuffer_srgb(srgb);
}

// The uncorrected picture copied for the analysis, into a free surface or
// else over the oldest picture not yet handed over.
void stage(TexturePath& p, gs_texture_t* picture, uint32_t cx, uint32_t cy, uint64_t time)
{
    StageSlot* slot = nullptr;
    for (StageSlot& s : p.ring)
        if (s.state == StageSlot::State::free) {
            slot = &s;
            break;
        }
    if (!slot)
        for (StageSlot& s : p.ring)
            if (s.state == StageSlot::State::staged && (!slot || s.frame < slot->frame)) slot = &s;
    if (!slot) return;
    if (slot->surface && (gs_stagesurface_get_width(slot->surface) != cx ||
                          gs_stagesurface_get_height(slot->surface) != cy)) {
        gs_stagesurface_destroy(slot->surface);
        slot->surface = nullptr;
    }
    if (!slot->surface) slot->surface = gs_stagesurface_create(cx, cy, GS_BGRA);
    slot->state = StageSlot::State::free;
    if (!slot->surface) return;
    gs_stage_texture(slot->surface, picture);
    slot->state = StageSlot::State::staged;
    slot->frame = ++p.frames;
    slot->time = time;
}

// The newest picture staged long enough ago mapped and handed to an idle
// worker; older ones are dropped, so the analysis keeps up with the
// picture rather than with a queue.
void handOverStaged(TexturePath& p, AnalysisWorker& w, const FilterSettings& settings)
{
    StageSlot* pick = nullptr;
    for (StageSlot& s : p.ring) {
        if (s.state == StageSlot::State::mapped) return;  // the worker has one still
        if (s.state == StageSlot::State::staged && s.frame + stageDelay <= p.frames &&
            (!pick || s.frame > pick->frame))
            pick = &s;
    }
    if (!pick || workerBusy(w)) return;
    for (StageSlot& s : p.ring)
        if (s.state == StageSlot::State::staged && s.frame < pick->frame)
            s.state = StageSlot::State::free;
    uint8_t* bytes = nullptr;
    uint32_t linesize = 0;
    pick->state = StageSlot::State::free;
    if (!gs_stagesurface_map(pick->surface, &bytes, &linesize)) return;
    StagedPicture picture;
    picture.bytes = bytes;
    picture.linesize = linesize;
    picture.width = int32_t(gs_stagesurface_get_width(pick->surface));
    picture.height = int32_t(gs_stagesurface_get_height(pick->surface));
    picture.time = pick->time;
    picture.settings = settings;
    if (linesize < uint32_t(picture.width) * 4 || !handOver(w, picture)) {
        gs_stagesurface_unmap(pick->surface);
        return;
    }
    pick->state = StageSlot::State::mapped;
}

}  // namespace

bool createTexturePath(TexturePath& p, const char* effectFile)
{
    char* error = nullptr;
    p.effect = effectFile ? gs_effect_create_from_file(effectFile, &error) : nullptr;
    if (error) {
        blog(LOG_ERROR, "[velto] %s: %s", effectFile, error);
        bfree(error);
    }
    if (!p.effect) return false;
    p.imageParam = gs_effect_get_param_by_name(p.effect, "image");
    p.mapsParam = gs_effect_get_param_by_name(p.effect, "maps");
    uint32_t words[256];
    identityTables(words);
    const uint8_t* data = reinterpret_cast<const uint8_t*>(words);
    p.maps = gs_texture_create(256, 1, GS_BGRA, 1, &data, GS_DYNAMIC);
    p.picture = gs_texrender_create(GS_BGRA, GS_ZS_NONE);
    return p.imageParam && p.mapsParam && p.maps && p.picture;
}

void destroyTexturePath(TexturePath& p)
{
    for (StageSlot& s : p.ring) {
        if (s.state == StageSlot::State::mapped) gs_stagesurface_unmap(s.surface);
        gs_stagesurface_destroy(s.surface);
        s = StageSlot{};
    }
    gs_texrender_destroy(p.picture);
    gs_texture_destroy(p.maps);
    gs_effect_destroy(p.effect);
    p = TexturePath{};
}

void renderTexturePath(TexturePath& p, obs_source_t* filter, AnalysisWorker& w,
                       const FilterSettings& settings)
{
    obs_source_t* target = obs_filter_get_target(filter);
    obs_source_t* parent = obs_filter_get_parent(filter);
    const uint32_t cx = target ? obs_source_get_base_width(target) : 0;
    const uint32_t cy = target ? obs_source_get_base_height(target) : 0;
    if (!p.effect || !parent || cx == 0 || cy == 0 || cx > largest || cy > largest ||
        !sdr(spaceOf(target))) {
        obs_source_skip_video_filter(filter);
        return;
    }
    collect(p, w);
    if (!drawTarget(p.picture, filter, cx, cy)) {
        obs_source_skip_video_filter(filter);
        return;
    }
    gs_texture_t* picture = gs_texrender_get_texture(p.picture);
    if (!picture) {
        obs_source_skip_video_filter(filter);
        return;
    }
    drawCorrected(p, picture, cx, cy);
    // A source drawn more than once a frame (preview, projector) is
    // analysed once: the steady state steps with the video's own time.
    const uint64_t time = obs_get_video_frame_time();
    if (time != p.lastTime) {
        p.lastTime = time;
        stage(p, picture, cx, cy, time);
    }
    handOverStaged(p, w, settings);
}

enum gs_color_space texturePathSpace(obs_source_t* filter)
{
    obs_source_t* target = obs_filter_get_target(filter);
    if (!target) return GS_CS_SRGB;
    const enum gs_color_space space = spaceOf(target);
    return sdr(space) ? GS_CS_SRGB : space;
}
