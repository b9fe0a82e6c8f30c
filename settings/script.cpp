#include "settings/script.h"

#include <cstddef>
#include <cstdio>

#include "settings/filter_settings.h"

void VELTO_CDECL configCommand(void*, FrameContext* context, ScriptArg* args)
{
    FilterSettings* settings = context->settings;
    settings->levelR = args[0].intValue;
    settings->levelG = args[1].intValue;
    settings->levelB = args[2].intValue;
}

bool VELTO_CDECL scriptLineCallback(FrameContext* context, void*, char* buffer, int32_t size)
{
    // A negative size would turn into a huge unsigned bound: nothing fits.
    if (size <= 0) return true;
    const FilterSettings* settings = context->settings;
    std::snprintf(buffer, static_cast<size_t>(size), scriptLineFormat, settings->levelR,
                  settings->levelG, settings->levelB);
    return true;
}

void VELTO_CDECL describeCallback(FrameContext* context, void*, char* buffer)
{
    const FilterSettings* settings = context->settings;
    // Bounded all the same: no three levels can make a longer text, so the
    // bound never cuts one, yet the buffer's end is never passed.
    std::snprintf(buffer, describeCapacity, describeFormat, settings->levelR, settings->levelG,
                  settings->levelB);
}
