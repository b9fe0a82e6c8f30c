#include "engine/neutral/neutral_pass.h"

void runNeutralPass(const NeutralSettings& settings, const FrameView& source,
                    uint32_t* destination, intptr_t destinationRowGap, LightEstimate* estimate,
                    TopByte topByte)
{
    const LightEstimate found = estimateLight(source, settings.transfer);
    if (estimate) *estimate = found;
    const NeutralTables tables = neutralTables(neutralGains(neutralShift(found, settings.strength)),
                                               settings.transfer, topByte);
    correctNeutralPixels(tables, source, destination, destinationRowGap);
}
