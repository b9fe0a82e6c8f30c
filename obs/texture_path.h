// The filter on the GPU, for every source OBS draws: the filter's target
// drawn into a texture, drawn out with each channel mapped through the
// latest maps by a shader (data/velto.effect), and the uncorrected texture
// staged for the analysis. A staged copy is mapped only two rendered frames later, when the
// GPU is long done with it, and handed to the worker thread; so OBS's
// graphics thread never waits for the GPU or for the analysis, and new
// maps show a few frames after the picture they came from.
#pragma once

#include <cstdint>

#include <obs-module.h>

#include "obs/analysis_worker.h"

constexpr int stageRing = 3;

struct StageSlot {
    gs_stagesurf_t* surface = nullptr;
    enum class State { free, staged, mapped } state = State::free;
    uint64_t frame = 0;  // the rendered frame it was staged in
    uint64_t time = 0;   // that frame's time
};

struct TexturePath {
    gs_effect_t* effect = nullptr;          // the maps' shader
    gs_eparam_t* imageParam = nullptr;
    gs_eparam_t* mapsParam = nullptr;
    gs_texture_t* maps = nullptr;           // 256 x 1 BGRA
    gs_texrender_t* picture = nullptr;      // the target as it is
    StageSlot ring[stageRing];
    uint64_t frames = 0;     // rendered frames that staged a picture
    uint64_t lastTime = 0;   // the video frame time of the last of them
    uint64_t mapsSerial = 0; // the worker's maps that maps holds
};

// In the graphics context. False where the effect or a texture cannot be
// made; destroyTexturePath undoes what was made.
bool createTexturePath(TexturePath& path, const char* effectFile);
// In the graphics context, once the worker is stopped.
void destroyTexturePath(TexturePath& path);

// The filter's video_render: filter's target corrected, or passed through
// unchanged where it is not an SDR picture.
void renderTexturePath(TexturePath& path, obs_source_t* filter, AnalysisWorker& worker,
                       const FilterSettings& settings);

// The colour space the filter gives out for its target's.
enum gs_color_space texturePathSpace(obs_source_t* filter);
