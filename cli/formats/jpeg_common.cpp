#include "cli/formats/jpeg_common.h"

namespace {

[[noreturn]] void onJpegError(j_common_ptr cinfo)
{
    auto* failure = reinterpret_cast<JpegFailure*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, failure->text);
    failWith(cinfo, failure->text);
}

// libjpeg warns, and goes on, where data is missing or damaged: it fills
// a cut file's remaining pixels with grey, and decodes damaged data into
// whatever it spells. Such pixels are made up, so those warnings fail the
// read, unless told to keep going. Odd metadata costs no pixel and passes,
// and so do stray bytes between the header's markers; stray bytes after
// coded data are how damage in the middle of it shows, as the picture's
// blocks end before the data does.
void onJpegMessage(j_common_ptr cinfo, int level)
{
    if (level >= 0) return;  // trace output
    auto* failure = reinterpret_cast<JpegFailure*>(cinfo->err);
    switch (cinfo->err->msg_code) {
    case JWRN_ADOBE_XFORM:
    case JWRN_JFIF_MAJOR:
    case JWRN_BOGUS_ICC:
        return;
    case JWRN_EXTRANEOUS_DATA:
        if (failure->phase == JpegFailure::header) return;
        break;
    case JWRN_JPEG_EOF:  // after the last pixel, only the end marker is missing
        if (failure->phase == JpegFailure::finishing) return;
        break;
    default:
        break;
    }
    failure->warned = true;
    if (!failure->keepGoing) onJpegError(cinfo);
    if (failure->damage[0] == '\0') (*cinfo->err->format_message)(cinfo, failure->damage);
}

}  // namespace

// Ends the read or write for reason, which outlives the jump.
[[noreturn]] void failWith(j_common_ptr cinfo, const char* reason)
{
    reinterpret_cast<JpegFailure*>(cinfo->err)->reason = reason;
    std::longjmp(reinterpret_cast<JpegFailure*>(cinfo->err)->jump, 1);
}
void quietErrors(JpegFailure& failure)
{
    jpeg_std_error(&failure.manager);
    failure.manager.error_exit = onJpegError;
    failure.manager.emit_message = onJpegMessage;
}
