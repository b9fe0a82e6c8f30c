#include "cli/video/hdr_metadata.h"

#include <cstdint>
#include <cstring>
#include <new>

extern "C" {
#include <libavutil/dovi_meta.h>
#include <libavutil/mathematics.h>
}

namespace {

// The units of the SEI messages and of x265's and x264's options: 0.00002
// for a chromaticity, 0.0001 cd/m2 for a luminance.
constexpr int64_t chromaUnits = 50000;
constexpr int64_t luminanceUnits = 10000;

// q in units, or -1 where it is no number of them at all (a damaged file's
// zero denominator, a negative value, or more than limit).
int64_t inUnits(AVRational q, int64_t units, int64_t limit)
{
    if (q.den <= 0 || q.num < 0) return -1;
    const int64_t v = av_rescale_rnd(q.num, units, q.den, AV_ROUND_NEAR_INF);
    return v <= limit ? v : -1;
}

// "G(x,y)B(x,y)R(x,y)WP(x,y)L(max,min)", empty where a value is out of range.
std::string displayText(const AVMasteringDisplayMetadata& d)
{
    static constexpr int order[3] = {1, 2, 0};  // green, blue, red; the record is red first
    static constexpr const char* names[3] = {"G", "B", "R"};
    std::string text;
    for (int i = 0; i < 4; ++i) {
        const AVRational* xy = i < 3 ? d.display_primaries[order[i]] : d.white_point;
        const int64_t x = inUnits(xy[0], chromaUnits, chromaUnits);
        const int64_t y = inUnits(xy[1], chromaUnits, chromaUnits);
        if (x < 0 || y < 0) return {};
        text += std::string(i < 3 ? names[i] : "WP") + "(" + std::to_string(x) + "," +
                std::to_string(y) + ")";
    }
    const int64_t most = inUnits(d.max_luminance, luminanceUnits, UINT32_MAX);
    const int64_t least = inUnits(d.min_luminance, luminanceUnits, UINT32_MAX);
    if (most < 0 || least < 0) return {};
    return text + "L(" + std::to_string(most) + "," + std::to_string(least) + ")";
}

std::string params(const HdrMetadata& hdr, const char* displayKey, const char* lightKey)
{
    std::string text;
    const std::string display = hdr.hasDisplay ? displayText(hdr.display) : std::string();
    if (!display.empty()) text = std::string(displayKey) + "=" + display;
    // The SEI message holds 16 bits of each; a damaged container may say more.
    if (hdr.hasLight && hdr.light.MaxCLL <= UINT16_MAX && hdr.light.MaxFALL <= UINT16_MAX) {
        if (!text.empty()) text += ":";
        text += std::string(lightKey) + "=" + std::to_string(hdr.light.MaxCLL) + "," +
                std::to_string(hdr.light.MaxFALL);
    }
    return text;
}

void takeDisplay(const AVMasteringDisplayMetadata& d, HdrMetadata& hdr)
{
    // A display without its primaries or its luminance says too little for
    // the SEI message, which has both.
    if (hdr.hasDisplay || !d.has_primaries || !d.has_luminance) return;
    hdr.display = d;
    hdr.hasDisplay = true;
}

void takeLight(const AVContentLightMetadata& l, HdrMetadata& hdr)
{
    if (hdr.hasLight) return;
    hdr.light = l;
    hdr.hasLight = true;
}

template <typename T>
void putSideData(AVStream* out, AVPacketSideDataType type, const T& value)
{
    if (av_stream_get_side_data(out, type, nullptr)) return;
    uint8_t* data = av_stream_new_side_data(out, type, sizeof value);
    if (!data) throw std::bad_alloc();
    std::memcpy(data, &value, sizeof value);
}

}  // namespace

void takeStreamHdr(const AVStream* st, HdrMetadata& hdr)
{
    size_t size = 0;
    const uint8_t* d = av_stream_get_side_data(st, AV_PKT_DATA_MASTERING_DISPLAY_METADATA, &size);
    if (d && size >= sizeof(AVMasteringDisplayMetadata))
        takeDisplay(*reinterpret_cast<const AVMasteringDisplayMetadata*>(d), hdr);
    d = av_stream_get_side_data(st, AV_PKT_DATA_CONTENT_LIGHT_LEVEL, &size);
    if (d && size >= sizeof(AVContentLightMetadata))
        takeLight(*reinterpret_cast<const AVContentLightMetadata*>(d), hdr);
}

void takeFrameHdr(const AVFrame* frame, HdrMetadata& hdr)
{
    const AVFrameSideData* d =
        av_frame_get_side_data(frame, AV_FRAME_DATA_MASTERING_DISPLAY_METADATA);
    if (d && d->size >= sizeof(AVMasteringDisplayMetadata))
        takeDisplay(*reinterpret_cast<const AVMasteringDisplayMetadata*>(d->data), hdr);
    d = av_frame_get_side_data(frame, AV_FRAME_DATA_CONTENT_LIGHT_LEVEL);
    if (d && d->size >= sizeof(AVContentLightMetadata))
        takeLight(*reinterpret_cast<const AVContentLightMetadata*>(d->data), hdr);
}

std::string x265HdrParams(const HdrMetadata& hdr)
{
    return params(hdr, "master-display", "max-cll");
}

std::string x264HdrParams(const HdrMetadata& hdr)
{
    return params(hdr, "mastering-display", "cll");
}

void putStreamHdr(const HdrMetadata& hdr, AVStream* out)
{
    if (hdr.hasDisplay) putSideData(out, AV_PKT_DATA_MASTERING_DISPLAY_METADATA, hdr.display);
    if (hdr.hasLight) putSideData(out, AV_PKT_DATA_CONTENT_LIGHT_LEVEL, hdr.light);
}

bool isDynamicStreamData(AVPacketSideDataType type)
{
    return type == AV_PKT_DATA_DOVI_CONF;
}

unsigned streamDynamicKinds(const AVStream* st)
{
    return av_stream_get_side_data(st, AV_PKT_DATA_DOVI_CONF, nullptr) ? dolbyVision : 0u;
}

bool needsDolbyVision(const AVStream* st)
{
    size_t size = 0;
    const uint8_t* d = av_stream_get_side_data(st, AV_PKT_DATA_DOVI_CONF, &size);
    // Compatibility 0: the base layer is in Dolby's own colour space.
    if (!d || size < sizeof(AVDOVIDecoderConfigurationRecord)) return false;
    const auto& conf = *reinterpret_cast<const AVDOVIDecoderConfigurationRecord*>(d);
    return conf.bl_present_flag && conf.dv_bl_signal_compatibility_id == 0;
}

unsigned dropDynamicMetadata(AVFrame* frame)
{
    static constexpr struct {
        AVFrameSideDataType type;
        DynamicKind kind;
    } dynamic[] = {
        {AV_FRAME_DATA_DOVI_RPU_BUFFER, dolbyVision},
        {AV_FRAME_DATA_DOVI_METADATA, dolbyVision},
        {AV_FRAME_DATA_DYNAMIC_HDR_PLUS, hdr10Plus},
        {AV_FRAME_DATA_DYNAMIC_HDR_VIVID, hdrVivid},
    };
    unsigned kinds = 0;
    for (const auto& d : dynamic) {
        if (!av_frame_get_side_data(frame, d.type)) continue;
        av_frame_remove_side_data(frame, d.type);
        kinds |= d.kind;
    }
    return kinds;
}

std::string droppedText(unsigned kinds)
{
    static constexpr const char* names[] = {"Dolby Vision", "HDR10+", "HDR Vivid"};
    std::string list;
    int count = 0;
    for (int i = 0; i < 3; ++i) {
        if (!(kinds & (1u << i))) continue;
        if (count > 0) list += " and ";
        list += names[i];
        ++count;
    }
    return "its " + list + " metadata, made for the colours before the correction, " +
           (count == 1 ? "is" : "are") + " left out";
}
