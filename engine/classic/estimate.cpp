#include "engine/classic/estimate.h"

namespace {

// First bin from the dark end at which the running sum exceeds the cut.
int32_t darkEdge(const double smooth[binCount], double cut)
{
    double sum = 0.0;
    for (int32_t i = 0; i <= darkSearchEnd; ++i) {
        sum += smooth[i];
        if (sum > cut) return i;
    }
    return darkEdgeUnfound;
}

// The same from the bright end.
int32_t brightEdge(const double smooth[binCount], double cut)
{
    double sum = 0.0;
    for (int32_t i = 255; i >= brightSearchEnd; --i) {
        sum += smooth[i];
        if (sum > cut) return i;
    }
    return brightEdgeUnfound;
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
    return t * castScale;
}

struct ChannelPoints {
    double black, white;
};

ChannelPoints channelPoints(const ChannelMeasure& c, double cast, double limit)
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
    for (int32_t i = 0; i <= darkMassLastBin; ++i) c.darkMass += smooth[i];
    c.brightMass = 0.0;
    for (int32_t i = 255; i >= brightMassFirstBin; --i) c.brightMass += smooth[i];
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
    m.darkMass = ((g.darkMass + r.darkMass) + b.darkMass) * massThird;
    m.brightMass = ((r.brightMass + g.brightMass) + b.brightMass) * massThird;
    m.darkEdge = static_cast<double>(r.darkEdge + g.darkEdge + b.darkEdge) * edgeAndMeanThird;
    m.brightEdge = static_cast<double>(r.brightEdge + g.brightEdge + b.brightEdge) * edgeAndMeanThird;
    m.mean = ((g.mean + r.mean) + b.mean) * edgeAndMeanThird;

    const ChannelPoints red = channelPoints(r, channelCast(r, m, k.massUnit), k.limitR);
    const ChannelPoints green = channelPoints(g, channelCast(g, m, k.massUnit), k.limitG);
    const ChannelPoints blue = channelPoints(b, channelCast(b, m, k.massUnit), k.limitB);
    return {red.black, green.black, blue.black, red.white, green.white, blue.white};
}
