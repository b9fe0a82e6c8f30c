#include "engine/estimate.h"

namespace {

constexpr double third4 = 0.3333;       // for the tail masses
constexpr double third7 = 0.3333333;    // for the edges and means

// First bin from the dark end at which the running sum exceeds the cut.
// Bin 127 is never examined.
int32_t darkEdge(const double smooth[binCount], double cut)
{
    double sum = 0.0;
    for (int32_t i = 0; i <= 126; ++i) {
        sum += smooth[i];
        if (sum > cut) return i;
    }
    return 127;
}

// The same from the bright end; bin 128 is never examined.
int32_t brightEdge(const double smooth[binCount], double cut)
{
    double sum = 0.0;
    for (int32_t i = 255; i >= 129; --i) {
        sum += smooth[i];
        if (sum > cut) return i;
    }
    return 128;
}

struct CrossMeans {
    double darkMass, brightMass, darkEdge, brightEdge, mean;
};

// How far one channel stands above the three-channel average: five indicators
// summed, then scaled. The two mass terms are divided by massUnit apart.
double channelCast(const ChannelMeasure& c, const CrossMeans& m, double massUnit)
{
    const double a = (c.brightMass - m.brightMass) / massUnit;
    const double b = (m.darkMass - c.darkMass) / massUnit;
    double t = a + b;
    t = t + c.darkEdge;
    t = t - m.darkEdge;
    t = t + c.brightEdge;
    t = t - m.brightEdge;
    t = t + c.mean;
    t = t - m.mean;
    return t * 0.2;
}

struct ChannelLevels {
    double black, white;
};

ChannelLevels channelLevels(const ChannelMeasure& c, double cast, double limit)
{
    const double shift = softClip(cast * 0.5, limit);
    const double black = softClip(c.darkEdge * 0.5, limit) + shift;
    const double white = (255.0 - softClip((255 - c.brightEdge) * 0.5, limit)) + shift;
    return {black, white};
}

}  // namespace

ChannelMeasure measureChannel(const double smooth[binCount], int64_t sum, double blockPixels,
                              double cut)
{
    ChannelMeasure c;
    c.darkEdge = darkEdge(smooth, cut);
    c.brightEdge = brightEdge(smooth, cut);
    c.darkMass = 0.0;
    for (int32_t i = 0; i <= 79; ++i) c.darkMass += smooth[i];
    c.brightMass = 0.0;
    for (int32_t i = 255; i >= 176; --i) c.brightMass += smooth[i];
    c.mean = static_cast<double>(sum) / blockPixels;
    return c;
}

BlockEstimate estimateBlock(const BlockTables& t, const FrameConstants& k)
{
    const double pixels = static_cast<double>(k.blockPixels);
    const ChannelMeasure r = measureChannel(t.smoothR, t.sumR, pixels, k.cutR);
    const ChannelMeasure g = measureChannel(t.smoothG, t.sumG, pixels, k.cutG);
    const ChannelMeasure b = measureChannel(t.smoothB, t.sumB, pixels, k.cutB);

    // The orders of these additions are part of the result: green comes first
    // in the dark mass and the mean.
    CrossMeans m;
    m.darkMass = ((g.darkMass + r.darkMass) + b.darkMass) * third4;
    m.brightMass = ((r.brightMass + g.brightMass) + b.brightMass) * third4;
    m.darkEdge = static_cast<double>(r.darkEdge + g.darkEdge + b.darkEdge) * third7;
    m.brightEdge = static_cast<double>(r.brightEdge + g.brightEdge + b.brightEdge) * third7;
    m.mean = ((g.mean + r.mean) + b.mean) * third7;

    const ChannelLevels red = channelLevels(r, channelCast(r, m, k.massUnit), k.limitR);
    const ChannelLevels green = channelLevels(g, channelCast(g, m, k.massUnit), k.limitG);
    const ChannelLevels blue = channelLevels(b, channelCast(b, m, k.massUnit), k.limitB);
    return {red.black, green.black, blue.black, red.white, green.white, blue.white};
}
