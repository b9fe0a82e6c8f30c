#include "engine/deep_tables.h"

namespace {

int32_t heldBits(int32_t bits)
{
    return bits < 9 ? 9 : bits > 16 ? 16 : bits;
}

uint16_t rounded(double v, double top)
{
    if (!(v > 0.0)) return 0;
    if (v >= top) return static_cast<uint16_t>(top);
    return static_cast<uint16_t>(static_cast<int32_t>(v + 0.5));
}

void stretchTable(double black, double white, double top, std::vector<uint16_t>& table)
{
    // In the analysis' units: a sample v stands for v * 255 / top.
    const double span = white - black;
    for (size_t v = 0; v < table.size(); ++v) {
        const double level = static_cast<double>(v) * 255.0 / top;
        table[v] = span > 0.0 ? rounded((level - black) / span * top, top)
                              : static_cast<uint16_t>(v);
    }
}

void gainTable(double gain, Transfer transfer, double top, std::vector<uint16_t>& table)
{
    for (size_t v = 0; v < table.size(); ++v) {
        if (gain == 1.0) {
            table[v] = static_cast<uint16_t>(v);
            continue;
        }
        const double light = decodeTransfer(transfer, static_cast<double>(v) / top);
        table[v] = rounded(encodeTransfer(transfer, light * gain) * top, top);
    }
}

void sized(int32_t bits, DeepTables& tables)
{
    tables.bits = heldBits(bits);
    for (std::vector<uint16_t>& t : tables.channel) t.assign(size_t{1} << tables.bits, 0);
}

}  // namespace

void classicDeepTables(const CorrectionLevels& levels, int32_t bits, DeepTables& tables)
{
    sized(bits, tables);
    const double top = static_cast<double>((1 << tables.bits) - 1);
    stretchTable(levels.blackR, levels.whiteR, top, tables.channel[0]);
    stretchTable(levels.blackG, levels.whiteG, top, tables.channel[1]);
    stretchTable(levels.blackB, levels.whiteB, top, tables.channel[2]);
}

void neutralDeepTables(const NeutralGains& gains, Transfer transfer, int32_t bits,
                       DeepTables& tables)
{
    sized(bits, tables);
    const double top = static_cast<double>((1 << tables.bits) - 1);
    gainTable(gains.red, transfer, top, tables.channel[0]);
    gainTable(gains.green, transfer, top, tables.channel[1]);
    gainTable(gains.blue, transfer, top, tables.channel[2]);
}

void applyDeepInterleaved(const DeepTables& tables, uint16_t* samples, size_t count,
                          int32_t channels, bool bgr)
{
    const uint16_t top = static_cast<uint16_t>((1u << tables.bits) - 1);
    const std::vector<uint16_t>& first = tables.channel[bgr ? 2 : 0];
    const std::vector<uint16_t>& second = tables.channel[1];
    const std::vector<uint16_t>& third = tables.channel[bgr ? 0 : 2];
    for (size_t i = 0; i < count; ++i) {
        uint16_t* p = samples + i * static_cast<size_t>(channels);
        p[0] = first[p[0] < top ? p[0] : top];
        p[1] = second[p[1] < top ? p[1] : top];
        p[2] = third[p[2] < top ? p[2] : top];
    }
}

void applyDeepPlane(const DeepTables& tables, int32_t channel, uint16_t* plane, size_t count)
{
    const uint16_t top = static_cast<uint16_t>((1u << tables.bits) - 1);
    const std::vector<uint16_t>& t = tables.channel[channel < 0 ? 0 : channel > 2 ? 2 : channel];
    for (size_t i = 0; i < count; ++i) plane[i] = t[plane[i] < top ? plane[i] : top];
}
