// The byte order of a TIFF stream (an EXIF block is one): "II" little-endian,
// "MM" big-endian, for the values read from and written into it.
#pragma once

#include <cstdint>
#include <vector>

struct TiffOrder {
    bool little;

    uint32_t u16(const uint8_t* p) const
    {
        return little ? uint32_t{p[0]} | uint32_t{p[1]} << 8 : uint32_t{p[0]} << 8 | p[1];
    }
    uint32_t u32(const uint8_t* p) const
    {
        return little ? u16(p) | u16(p + 2) << 16 : u16(p) << 16 | u16(p + 2);
    }
    void put16(std::vector<uint8_t>& out, uint32_t v) const
    {
        const uint8_t a = uint8_t(v), b = uint8_t(v >> 8);
        out.push_back(little ? a : b);
        out.push_back(little ? b : a);
    }
    void put32(std::vector<uint8_t>& out, uint32_t v) const
    {
        put16(out, little ? v & 0xFFFF : v >> 16);
        put16(out, little ? v >> 16 : v & 0xFFFF);
    }
    void set32(std::vector<uint8_t>& out, size_t at, uint32_t v) const
    {
        std::vector<uint8_t> four;
        put32(four, v);
        for (size_t i = 0; i < 4; ++i) out[at + i] = four[i];
    }
};
