#include "cli/help.h"

#include "cli/formats/image.h"
#include "cli/io/frame_queue.h"
#include "cli/options.h"

namespace {

// "256 MiB": what the frames in flight may take together.
std::string budgetText()
{
    static_assert(framesInFlightBudget % (size_t{1} << 20) == 0, "the text counts whole MiB");
    return std::to_string(framesInFlightBudget >> 20) + " MiB";
}

// What the filter does, what the levels do to the picture, and examples:
// the same words in both helps.
std::string whatItDoes()
{
    return "Automatic white balance. By default (--method neutral) velto estimates the\n"
           "colour of the light in the picture and takes its cast off, each channel by a\n"
           "gain in linear light; where the picture gives no clear answer (a sunset, a\n"
           "forest, one coloured wall) it holds back. The classic correction (--method\n"
           "classic, or --levels) stretches red, green and blue each between the black and\n"
           "white point it measures, which reduces a cast gently.\n";
}

std::string whatLevelsDo()
{
    return "The classic's levels (--levels R,G,B, " + levelRangeText() + ", default " +
           defaultLevelsText() + "): raising a channel's\n"
           "level stretches that channel harder, so more of its cast goes and its contrast\n"
           "grows; lowering it corrects more gently. Equal levels treat the three channels\n"
           "alike.\n";
}

// The options that choose and steer the correction, in both helps.
std::string methodOptions()
{
    return "  --method M       neutral (default): take the light's cast off; classic: the\n"
           "                   stretch between black and white points\n"
           "  --strength PCT   the share of the cast the neutral correction takes off,\n"
           "                   0 to 100 (default 100)\n"
           "  --levels R,G,B   the classic's levels of red, green and blue, " + levelRangeText() +
           "\n                   (default " + defaultLevelsText() + "); alone, it selects the classic\n";
}

std::string examples()
{
    return "Examples:\n"
           "  velto apply photo.jpg corrected.jpg                 a photo\n"
           "  velto apply --out-dir corrected holiday/*.jpg       a folder of photos\n"
           "  velto apply --strength 60 sunset.jpg sunset-out.jpg 60 % of the cast taken off\n"
           "  velto apply --levels 20,20,26 scan.png scan-out.png the classic, blue harder\n"
           "  velto video clip.mp4 corrected.mp4                  a video\n";
}

}  // namespace

std::string toolHelp()
{
    return "Usage: velto COMMAND [OPTIONS] ...\n" + whatItDoes() +
           "\n"
           "Commands:\n"
           "  apply     correct a photo, many photos into a folder, or raw video frames\n"
           "  analyze   print the light (or the levels) found in each frame\n"
           "  video     correct a video file, keeping its sound, subtitles and timing\n"
           "\n"
           "Options:\n"
           "  --help, -h  this text\n"
           "  --version   the version of velto\n"
           "\n" + whatLevelsDo() + "\n" +
           "'velto COMMAND --help' describes each command.\n"
           "Exit status: 0 success, 1 bad input or failed output, 2 usage error.\n"
           "\n" + examples();
}

std::string applyHelp()
{
    return "Usage: velto apply [CORRECTION] [--format F] [--quality N]\n"
           "                   [--flatten COLOUR] [--keep-going] [--force] INPUT OUTPUT\n"
           "       velto apply --out-dir DIR [CORRECTION] [--format F] [--quality N]\n"
           "                   [--flatten COLOUR] [--keep-going] [--overwrite] [--threads N]\n"
           "                   [--quiet] FILE...\n"
           "       velto apply --raw WIDTHxHEIGHT [CORRECTION] [--steady SECONDS --fps RATE]\n"
           "                   [--threads N] [--quiet] [--force] INPUT OUTPUT\n"
           "CORRECTION: [--method neutral] [--strength PCT], or [--method classic] [--levels R,G,B]\n" +
           whatItDoes() +
           "It corrects an image (PNG, JPEG, WebP, TIFF, HEIC, AVIF, PPM, PGM, PBM or PAM),\n"
           "many images into a folder, or a stream of raw frames of WIDTH x HEIGHT\n"
           "pixels, 4 bytes each in the order B, G, R, A (ffmpeg's bgra). '-' is\n"
           "standard input or output.\n"
           "\n" + methodOptions() +
           "  --format F       write png, ppm, pam, jpeg, webp, tiff, heic or avif,\n"
           "                   whatever the output's name says\n"
           "  --quality N      JPEG, HEIC, AVIF or lossy WebP quality, " + qualityRangeText() + "\n"
           "                   (default: below)\n"
           "  --flatten COLOUR lay a picture with alpha onto COLOUR (white, black or\n"
           "                   RRGGBB) and write it without alpha\n"
           "  --keep-going     write a JPEG or TIFF whose data is damaged all the same,\n"
           "                   with a warning (without it such a file is refused)\n"
           "  --out-dir DIR    write DIR/NAME for each FILE (DIR is made if missing)\n"
           "  --overwrite      with --out-dir: replace outputs that exist already\n"
           "  --raw WxH        read and write raw frames of this size\n"
           "  --steady SECONDS smooth the correction over time, for video without flicker:\n"
           "                   a running mean with this time constant (1 suits most\n"
           "                   video), started afresh at each scene cut\n"
           "  --fps RATE       the stream's frames a second, for --steady: 25, 29.97,\n"
           "                   30000/1001\n"
           "  --threads N      frames or files corrected at once, " + threadRangeText() + " (default: one\n"
           "                   per core); frames in flight take at most " + budgetText() + " (or one)\n"
           "  --quiet, -q      no progress on standard error\n"
           "  --force, -f      write to standard output even when it is a terminal\n"
           "  --help, -h       this text\n"
           "\n" + whatLevelsDo() +
           "\n"
           "An image's output format follows OUTPUT's extension (.png, .jpg or .jpeg,\n"
           ".webp, .tif or .tiff, .heic or .heif, .avif, .ppm or .pnm, .pam), or the\n"
           "input's when there is none. A JPEG output of a JPEG keeps its quality (as\n"
           "its quantisation tables show it) and its colour resolution; other inputs\n"
           "give quality " + std::to_string(defaultJpegQuality) +
           ". --quality N sets the quality instead.\n"
           "A WebP output of a lossless WebP is lossless; of a lossy one, near its\n"
           "quality (as its frame header shows it); of other inputs, lossless unless\n"
           "--quality is given. The ICC profile, EXIF and XMP go on to a WebP.\n"
           "A TIFF output keeps a TIFF input's compression (none, LZW or Deflate;\n"
           "others give LZW); of a multi-page TIFF the first page is read. HEIC and\n"
           "AVIF are written where libheif has the encoder, at quality " +
           std::to_string(defaultHeifQuality) + " unless\n"
           "--quality or a lossy input says another. A 16-bit PNG or TIFF (or a 10-bit\n"
           "HEIC or AVIF) is corrected at 16 bits and written so in a PNG or TIFF, at\n"
           "10 bits in a HEIC (reduced to 8 for JPEG, WebP, AVIF, Netpbm).\n"
           "A grey input whose output is still grey is written grey. The EXIF block\n"
           "(with its orientation), the ICC profile, XMP and the resolution (dpi) go on\n"
           "to a JPEG, PNG, TIFF or HEIC output as far as each holds them (a HEIC\n"
           "holds no dpi); what cannot go on is said on standard error. Alpha that is\n"
           "opaque everywhere is dropped for a JPEG or PPM; other alpha is refused there,\n"
           "unless --flatten.\n"
           "\n"
           "With --out-dir, NAME is FILE's own name, its extension changed to the one of\n"
           "--format when given. A file that fails, or whose output exists (without\n"
           "--overwrite) or is another FILE's output too, is named in one line and\n"
           "skipped; the others are still written, and the exit status is then 1.\n"
           "\n"
           "Raw output frames have a fourth byte of 0. The output is the same for every\n"
           "thread count, with or without --steady.\n"
           "\n" + examples();
}

std::string analyzeHelp()
{
    return "Usage: velto analyze [CORRECTION] [--json] [--blocks] [--threads N]\n"
           "                     [--quiet] FILE...\n"
           "       velto analyze --raw WIDTHxHEIGHT [CORRECTION] [--json] [--blocks]\n"
           "                     [--steady SECONDS --fps RATE] [--threads N] [--quiet] INPUT\n"
           "CORRECTION: [--method neutral] [--strength PCT], or [--method classic] [--levels R,G,B]\n"
           "Prints, for each frame, what the correction would do. The neutral correction\n"
           "(the default): the colour of the light it estimates, as linear red, green and\n"
           "blue with green 1; its confidence, from 0 (the picture gives no clear answer,\n"
           "nothing is changed) to 1 (the whole cast goes), and what lowered it; and the\n"
           "gains in linear light. Its JSON line also holds the classic's keys below.\n"
           "The classic: the black and white points of red, green and blue, the three\n"
           "gains and the three black bytes. Given several files, it names each: first\n"
           "in its text, as \"file\" in its JSON line.\n"
           "\n"
           "The classic's frame is cut into 4 x 4 blocks, and its levels come from two of them\n"
           "alone, blocks 8 and 9. In a picture shown top row first, these are\n"
           "the left-most block of the second block row and the right-most block of the\n"
           "third. --blocks numbers the blocks as the filter does, bottom row first: 1 to\n"
           "4 are the bottom block row, left to right, and 13 to 16 the top row.\n"
           "\n" + methodOptions() +
           "  --raw WxH        read raw bgra frames of this size\n"
           "  --json           one JSON object per frame and line\n"
           "  --blocks         also the classic's black and white points of the sixteen\n"
           "                   blocks\n"
           "  --steady SECONDS with --raw: the correction smoothed over time, as 'velto\n"
           "                   apply' uses it, the frame's own as measured, and whether\n"
           "                   the frame starts a new scene\n"
           "  --fps RATE       the stream's frames a second, for --steady\n"
           "  --threads N      frames or files analysed at once, " + threadRangeText() + " (default: one\n"
           "                   per core); frames in flight take at most " + budgetText() + " (or one)\n"
           "  --quiet, -q      no progress on standard error\n"
           "  --help, -h       this text\n";
}
