#include <gtest/gtest.h>

#include <cstring>

#include "cli/video/hdr_metadata.h"

extern "C" {
#include <libavutil/dovi_meta.h>
}

namespace {

AVMasteringDisplayMetadata display()
{
    AVMasteringDisplayMetadata d{};
    const int xy[4][2] = {{34000, 16000}, {13250, 34500}, {7500, 3000}, {15635, 16450}};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 2; ++j) d.display_primaries[i][j] = {xy[i][j], 50000};
    d.white_point[0] = {xy[3][0], 50000};
    d.white_point[1] = {xy[3][1], 50000};
    d.min_luminance = {1, 10000};
    d.max_luminance = {1000, 1};
    d.has_primaries = d.has_luminance = 1;
    return d;
}

}  // namespace

// The options' order is green, blue, red; a damaged record (a zero
// denominator, light levels beyond 16 bits) gives none rather than made-up
// values.
TEST(HdrMetadata, EncoderOptions)
{
    HdrMetadata hdr;
    hdr.hasDisplay = hdr.hasLight = true;
    hdr.display = display();
    hdr.light = {1000, 400};
    EXPECT_EQ(x265HdrParams(hdr), "master-display=G(13250,34500)B(7500,3000)R(34000,16000)"
                                  "WP(15635,16450)L(10000000,1):max-cll=1000,400");
    EXPECT_EQ(x264HdrParams(hdr), "mastering-display=G(13250,34500)B(7500,3000)R(34000,16000)"
                                  "WP(15635,16450)L(10000000,1):cll=1000,400");
    hdr.display.white_point[1].den = 0;
    EXPECT_EQ(x265HdrParams(hdr), "max-cll=1000,400");
    hdr.light.MaxCLL = 70000;
    EXPECT_EQ(x265HdrParams(hdr), "");
}

TEST(HdrMetadata, DynamicMetadataLeftOutStaticKept)
{
    AVFrame* frame = av_frame_alloc();
    ASSERT_TRUE(frame);
    for (AVFrameSideDataType type : {AV_FRAME_DATA_DOVI_RPU_BUFFER, AV_FRAME_DATA_DOVI_METADATA,
                                     AV_FRAME_DATA_DYNAMIC_HDR_PLUS,
                                     AV_FRAME_DATA_MASTERING_DISPLAY_METADATA})
        ASSERT_TRUE(av_frame_new_side_data(frame, type, 64));
    EXPECT_EQ(dropDynamicMetadata(frame), dolbyVision | hdr10Plus);
    EXPECT_EQ(frame->nb_side_data, 1);
    EXPECT_TRUE(av_frame_get_side_data(frame, AV_FRAME_DATA_MASTERING_DISPLAY_METADATA));
    EXPECT_EQ(dropDynamicMetadata(frame), 0u);
    av_frame_free(&frame);
    EXPECT_EQ(droppedText(dolbyVision | hdr10Plus),
              "its Dolby Vision and HDR10+ metadata, made for the colours before the correction, "
              "are left out");
}

// Profile 5 has no base layer of standard colours; 8.1 has an HDR10 one.
TEST(HdrMetadata, DolbyVisionWithoutAStandardPicture)
{
    AVFormatContext* format = avformat_alloc_context();
    ASSERT_TRUE(format);
    AVStream* plain = avformat_new_stream(format, nullptr);
    ASSERT_TRUE(plain);
    EXPECT_FALSE(needsDolbyVision(plain));
    EXPECT_EQ(streamDynamicKinds(plain), 0u);
    for (uint8_t compatibility : {0, 1}) {
        AVStream* st = avformat_new_stream(format, nullptr);
        ASSERT_TRUE(st);
        AVDOVIDecoderConfigurationRecord conf{};
        conf.dv_profile = compatibility == 0 ? 5 : 8;
        conf.rpu_present_flag = conf.bl_present_flag = 1;
        conf.dv_bl_signal_compatibility_id = compatibility;
        uint8_t* data = av_stream_new_side_data(st, AV_PKT_DATA_DOVI_CONF, sizeof conf);
        ASSERT_TRUE(data);
        std::memcpy(data, &conf, sizeof conf);
        EXPECT_EQ(needsDolbyVision(st), compatibility == 0);
        EXPECT_EQ(streamDynamicKinds(st), unsigned{dolbyVision});
    }
    avformat_free_context(format);
}
