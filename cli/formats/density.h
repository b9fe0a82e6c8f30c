// Pixel density, as JFIF and PNG store it.
#pragma once

#include <cstdint>

// Pixels per unit. A JFIF header counts dots per inch or per centimetre, a
// PNG pixels per metre; without a unit the two numbers give only the shape
// of a pixel. x = 0: nothing known.
enum class DensityUnit : uint8_t { none, inch, centimetre, metre };
struct Density {
    uint32_t x = 0, y = 0;
    DensityUnit unit = DensityUnit::none;
};

// The density as a JFIF header gives it (dots per inch or centimetre, or
// none, 1 to 65535 each) and as a PNG does (pixels per metre, or none); x is
// 0 where it cannot be said so.
Density jfifDensity(const Density& density);
Density pngDensity(const Density& density);
