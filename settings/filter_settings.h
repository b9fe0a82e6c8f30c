// The per-instance settings record. The host allocates instanceSize (40) bytes
// for it and hands it to every callback; the filter never allocates or frees it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/classic/strengths.h"
#include "host/records.h"

struct FilterSettings {
    PreviewPanel* preview;  // set by the configure callback, used by the dialog
    int32_t levelR;
    int32_t levelG;
    int32_t levelB;
    int32_t savedR;  // levels as they stood when the dialog opened
    int32_t savedG;
    int32_t savedB;
    uint8_t reserved[40 - sizeof(PreviewPanel*) - 6 * sizeof(int32_t)];
};

constexpr int32_t filterSettingsSize = 40;

static_assert(sizeof(FilterSettings) == filterSettingsSize);
static_assert(offsetof(FilterSettings, levelR) == sizeof(void*));
#if defined(_WIN64)
static_assert(offsetof(FilterSettings, levelR) == 8 && offsetof(FilterSettings, levelG) == 12);
static_assert(offsetof(FilterSettings, levelB) == 16 && offsetof(FilterSettings, savedR) == 20);
static_assert(offsetof(FilterSettings, savedG) == 24 && offsetof(FilterSettings, savedB) == 28);
#elif defined(_WIN32)
static_assert(offsetof(FilterSettings, levelR) == 4 && offsetof(FilterSettings, savedB) == 24);
#endif

// Create callback: default levels; touches no other field.
int32_t VELTO_CDECL createCallback(FrameContext* context);
// Start callback: nothing to prepare.
int32_t VELTO_CDECL startCallback(FrameContext* context);
