#include "settings/filter_settings.h"

#include "engine/classic/strengths.h"

int32_t VELTO_CDECL createCallback(FrameContext* context)
{
    FilterSettings* settings = context->settings;
    settings->levelR = defaultLevel;
    settings->levelG = defaultLevel;
    settings->levelB = defaultLevel;
    return 0;
}

int32_t VELTO_CDECL startCallback(FrameContext*)
{
    return 0;
}
