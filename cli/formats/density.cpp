#include "cli/formats/density.h"

Density jfifDensity(const Density& d)
{
    Density j = d;
    if (d.unit == DensityUnit::metre) {
        // Whole dots per centimetre where the metres say so exactly; else
        // dots per inch, which is how a scan's resolution was set.
        if (d.x % 100 == 0 && d.y % 100 == 0)
            j = {d.x / 100, d.y / 100, DensityUnit::centimetre};
        else
            j = {static_cast<uint32_t>((uint64_t{d.x} * 254 + 5000) / 10000),
                 static_cast<uint32_t>((uint64_t{d.y} * 254 + 5000) / 10000), DensityUnit::inch};
    }
    if (j.x < 1 || j.y < 1 || j.x > 65535 || j.y > 65535) return {};
    return j;
}

Density pngDensity(const Density& d)
{
    Density p = d;
    // A metre is 10000 / 254 inches.
    if (d.unit == DensityUnit::inch)
        p = {static_cast<uint32_t>((uint64_t{d.x} * 10000 + 127) / 254),
             static_cast<uint32_t>((uint64_t{d.y} * 10000 + 127) / 254), DensityUnit::metre};
    else if (d.unit == DensityUnit::centimetre)
        p = {d.x * 100, d.y * 100, DensityUnit::metre};
    if (p.x < 1 || p.y < 1 || p.x > 0x7FFFFFFF || p.y > 0x7FFFFFFF) return {};
    return p;
}
