#include "module/frame_callback.h"

#include "engine/classic/frame_pass.h"
#include "settings/filter_settings.h"

int32_t VELTO_CDECL frameCallback(FrameContext* context)
{
    const FilterSettings& settings = *context->settings;
    const Strengths user = {settings.levelR, settings.levelG, settings.levelB};
    const BitmapView& destination = *context->destination;
    runFramePass(user, frameViewOf(*context->source), destination.pixels, destination.rowGap);
    return 0;
}
