#include <gtest/gtest.h>

#include <vector>

#include "cli/formats/image.h"
#include "cli/formats/names.h"
#include "cli/options.h"

namespace {

Status parse(std::vector<const char*> args, Options& options)
{
    args.insert(args.begin(), "velto");
    return parseCommandLine(static_cast<int>(args.size()), args.data(), options);
}

int exitOf(std::vector<const char*> args)
{
    Options options;
    return parse(std::move(args), options).exitCode;
}

}  // namespace

TEST(Options, LevelsHoldToTheDialogRange)
{
    int32_t r = 0, g = 0, b = 0;
    EXPECT_TRUE(parseLevels("1,20,40", r, g, b));
    EXPECT_EQ(r, 1);
    EXPECT_EQ(g, 20);
    EXPECT_EQ(b, 40);
    for (const char* bad : {"0,20,20", "20,41,20", "20,20,-1", "20,20", "20,20,20,20", "+5,5,5",
                            " 5,5,5", "5,5,5x", "", ",,", "99999999999,1,1"})
        EXPECT_FALSE(parseLevels(bad, r, g, b)) << bad;
}

TEST(Options, FrameSizesAreBoundedBeforeAnyAllocation)
{
    int32_t w = 0, h = 0;
    EXPECT_TRUE(parseFrameSize("640x480", w, h));
    EXPECT_EQ(w, 640);
    EXPECT_EQ(h, 480);
    EXPECT_TRUE(parseFrameSize("1X1", w, h));
    EXPECT_TRUE(parseFrameSize("65536x4096", w, h));  // exactly 1 GiB
    for (const char* bad : {"0x480", "640x0", "65537x1", "65536x4097", "640", "640x", "x480",
                            "640x480x2", "-640x480", "4294967297x1"})
        EXPECT_FALSE(parseFrameSize(bad, w, h)) << bad;
}

TEST(Options, SteadySecondsAndFrameRates)
{
    double v = 0.0;
    EXPECT_TRUE(parseSteadySeconds("0.5", v));
    EXPECT_EQ(v, 0.5);
    EXPECT_TRUE(parseSteadySeconds("600", v));
    EXPECT_TRUE(parseFrameRate("30000/1001", v));
    EXPECT_EQ(v, 30000.0 / 1001.0);
    EXPECT_TRUE(parseFrameRate("29.97", v));
    EXPECT_EQ(v, 29.97);
    for (const char* bad : {"0", "0.0", "600.5", "-1", "+1", "1e1", ".5", "1.2.3", "inf", "nan", ""})
        EXPECT_FALSE(parseSteadySeconds(bad, v)) << bad;
    for (const char* bad : {"0/0", "25/0", "0", "1001", "25/", "/1", "1/2/3", "-25", "25 "})
        EXPECT_FALSE(parseFrameRate(bad, v)) << bad;
}

TEST(Options, CommandLines)
{
    Options o;
    ASSERT_TRUE(parse({"apply", "--levels=5,6,7", "in.png", "out.png"}, o).ok());
    EXPECT_EQ(o.command, Command::apply);
    EXPECT_EQ(o.levelB, 7);
    EXPECT_EQ(o.input, "in.png");
    EXPECT_EQ(o.output, "out.png");
    EXPECT_FALSE(o.raw);

    ASSERT_TRUE(parse({"apply", "--raw", "8x4", "--threads", "3", "-q", "-", "-"}, o).ok());
    EXPECT_TRUE(o.raw && o.quiet);
    EXPECT_EQ(o.width, 8);
    EXPECT_EQ(o.height, 4);
    EXPECT_EQ(o.threads, 3);
    EXPECT_EQ(o.input, "-");
    EXPECT_EQ(o.levelR, 20);  // the default

    ASSERT_TRUE(parse({"analyze", "--json", "--blocks", "--", "-odd-name.png"}, o).ok());
    EXPECT_TRUE(o.json && o.blocks);
    EXPECT_EQ(o.input, "-odd-name.png");

    ASSERT_TRUE(parse({"analyze", "--raw=8x4", "--steady", "1.5", "--fps=25", "-"}, o).ok());
    EXPECT_EQ(o.steadySeconds, 1.5);
    EXPECT_EQ(o.frameRate, 25.0);

    ASSERT_TRUE(parse({"apply", "-f", "in.png", "-"}, o).ok());
    EXPECT_TRUE(o.force);

    ASSERT_TRUE(parse({"apply", "--out-dir", "done", "--format=JPG", "--quality", "1", "--overwrite",
                       "a.png", "b.jpg", "c"}, o).ok());
    EXPECT_EQ(o.outDir, "done");
    EXPECT_TRUE(o.formatGiven && o.overwrite);
    EXPECT_EQ(o.format, ImageFormat::jpeg);
    EXPECT_EQ(o.quality, 1);
    EXPECT_EQ(o.inputs, (std::vector<std::string>{"a.png", "b.jpg", "c"}));
    ASSERT_TRUE(parse({"analyze", "a.png", "b.jpg"}, o).ok());
    EXPECT_EQ(o.inputs.size(), 2u);
    ASSERT_TRUE(parse({"apply", "--quality", "100", "in.png", "-"}, o).ok());  // JPEG if in is
    ASSERT_TRUE(parse({"apply", "--keep-going", "--flatten", "#Ff8000", "in.png", "o.jpg"}, o).ok());
    EXPECT_TRUE(o.keepGoing && o.flatten);
    EXPECT_EQ(o.flattenColour, 0xFF8000u);
    ASSERT_TRUE(parse({"apply", "--flatten=white", "in.png", "o.jpg"}, o).ok());
    EXPECT_EQ(o.flattenColour, 0xFFFFFFu);

    ASSERT_TRUE(parse({"analyze", "--help"}, o).ok());
    EXPECT_TRUE(o.help);
    EXPECT_EQ(o.command, Command::analyze);
}

TEST(Options, UsageErrorsExitWithTwo)
{
    EXPECT_EQ(exitOf({}), exitUsage);
    EXPECT_EQ(exitOf({"frobnicate"}), exitUsage);
    EXPECT_EQ(exitOf({"apply", "in.png"}), exitUsage);
    EXPECT_EQ(exitOf({"apply", "a", "b", "c"}), exitUsage);
    EXPECT_EQ(exitOf({"analyze", "--raw", "8x8", "a", "b"}), exitUsage);
    EXPECT_EQ(exitOf({"apply", "--levels"}), exitUsage);
    EXPECT_EQ(exitOf({"apply", "--levels", "20,20,0", "a", "b"}), exitUsage);
    EXPECT_EQ(exitOf({"apply", "--raw", "0x0", "a", "b"}), exitUsage);
    EXPECT_EQ(exitOf({"apply", "--threads", "0", "a", "b"}), exitUsage);
    EXPECT_EQ(exitOf({"apply", "--json", "a", "b"}), exitUsage);
    EXPECT_EQ(exitOf({"analyze", "--force", "a"}), exitUsage);
    EXPECT_EQ(exitOf({"apply", "--quiet=yes", "a", "b"}), exitUsage);
    EXPECT_EQ(exitOf({"apply", "--bogus", "a", "b"}), exitUsage);
    EXPECT_EQ(exitOf({"apply", "--quality", "0", "a", "b.jpg"}), exitUsage);
    EXPECT_EQ(exitOf({"apply", "--quality", "101", "a", "b.jpg"}), exitUsage);
    EXPECT_EQ(exitOf({"apply", "--quality", "80", "a", "b.png"}), exitUsage);
    EXPECT_EQ(exitOf({"apply", "--quality", "80", "--format", "png", "--out-dir", "d", "a"}),
              exitUsage);
    EXPECT_EQ(exitOf({"apply", "--format", "gif", "a", "b"}), exitUsage);
    for (const char* colour : {"FF800", "FF80000", "#GG0000", "grey", "", "-FF8000"})
        EXPECT_EQ(exitOf({"apply", "--flatten", colour, "a", "b"}), exitUsage) << colour;
    EXPECT_EQ(exitOf({"apply", "--raw", "8x8", "--flatten", "white", "a", "b"}), exitUsage);
    EXPECT_EQ(exitOf({"apply", "--raw", "8x8", "--keep-going", "a", "b"}), exitUsage);
    EXPECT_EQ(exitOf({"analyze", "--keep-going", "a"}), exitUsage);
    EXPECT_EQ(exitOf({"apply", "--overwrite", "a", "b"}), exitUsage);
    EXPECT_EQ(exitOf({"apply", "--out-dir", "d"}), exitUsage);
    EXPECT_EQ(exitOf({"apply", "--out-dir", "d", "a", "-"}), exitUsage);
    EXPECT_EQ(exitOf({"apply", "--out-dir", "d", "--raw", "8x8", "a"}), exitUsage);
    EXPECT_EQ(exitOf({"analyze", "--out-dir", "d", "a"}), exitUsage);
    EXPECT_EQ(exitOf({"analyze", "-", "a"}), exitUsage);
    // --steady smooths a stream at a known rate; --fps alone does nothing.
    EXPECT_EQ(exitOf({"apply", "--steady", "1", "--fps", "25", "a", "b"}), exitUsage);
    EXPECT_EQ(exitOf({"apply", "--raw", "8x4", "--steady", "1", "a", "b"}), exitUsage);
    EXPECT_EQ(exitOf({"analyze", "--raw", "8x4", "--fps", "25", "a"}), exitUsage);
    EXPECT_EQ(exitOf({"analyze", "--raw", "8x4", "--steady", "0", "--fps", "25", "a"}), exitUsage);

    Options o;
    const Status s = parse({"apply", "--levels", "20,20,41", "a", "b"}, o);
    EXPECT_NE(s.message.find("20,20,41"), std::string::npos);
    EXPECT_NE(s.message.find("velto apply --help"), std::string::npos);
    EXPECT_EQ(s.message.find('\n'), std::string::npos);
}

TEST(Options, OutputFormatFollowsTheExtensionOrTheInput)
{
    ImageFormat f;
    ASSERT_TRUE(outputFormatFor("a/b.PNG", ImageFormat::ppm, false, f));
    EXPECT_EQ(f, ImageFormat::png);
    ASSERT_TRUE(outputFormatFor("b.pnm", ImageFormat::png, false, f));
    EXPECT_EQ(f, ImageFormat::ppm);
    ASSERT_TRUE(outputFormatFor("b.pam", ImageFormat::png, false, f));
    EXPECT_EQ(f, ImageFormat::pam);
    ASSERT_TRUE(outputFormatFor("-", ImageFormat::ppm, true, f));
    EXPECT_EQ(f, ImageFormat::pam);  // a PPM could not hold the alpha
    ASSERT_TRUE(outputFormatFor("dir.d/noext", ImageFormat::png, false, f));
    EXPECT_EQ(f, ImageFormat::png);
    ASSERT_TRUE(outputFormatFor(".hidden", ImageFormat::png, false, f));
    EXPECT_FALSE(outputFormatFor("b.gif", ImageFormat::png, false, f));
    EXPECT_FALSE(outputFormatFor("b.pgm", ImageFormat::png, false, f));  // output is colour
}

TEST(Options, NamesInAnOutputFolder)
{
    auto named = [](const char* input) { return outputPathIn("done/", input, false, {}); };
    EXPECT_EQ(named("in/photo.JPG"), "done/photo.JPG");
    EXPECT_EQ(named("scan"), "done/scan");
    EXPECT_EQ(named("a.b/grey.pgm"), "done/grey.ppm");  // written in colour
    auto asJpeg = [](const char* input) {
        return outputPathIn("done/", input, true, ImageFormat::jpeg);
    };
    EXPECT_EQ(asJpeg("x.jpeg"), "done/x.jpeg");
    EXPECT_EQ(asJpeg("x.tar.png"), "done/x.tar.jpg");
    EXPECT_EQ(asJpeg(".hidden"), "done/.hidden.jpg");
}
