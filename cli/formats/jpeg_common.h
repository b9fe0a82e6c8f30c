// What the JPEG reader and writer share: libjpeg ends a fatal error in
// error_exit, which must not return; ours longjmps back to the function that
// set the jump, which (as for PNG) keeps no object with a destructor of its
// own between setjmp and the calls that may jump.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>  // jpeglib.h wants size_t and FILE declared first

#include <jerror.h>
#include <jpeglib.h>

#include <csetjmp>

// An APP1 block of EXIF starts with this name; the TIFF stream follows.
inline constexpr uint8_t exifName[6] = {'E', 'x', 'i', 'f', 0, 0};
// An APP1 block of XMP starts with this name, ended by a 0; the packet follows.
inline constexpr char xmpName[] = "http://ns.adobe.com/xap/1.0/";
// The most a marker segment holds after its length, and the most a profile
// split over at most 255 of them holds (each piece after a 14-byte name and
// count).
inline constexpr size_t markerDataMost = 65533;
inline constexpr size_t profileMost = 255 * (markerDataMost - 14);

struct JpegFailure {
    jpeg_error_mgr manager;  // first: libjpeg hands back a pointer to it
    jmp_buf jump;
    const char* reason;  // text, or a constant of the reader
    char text[JMSG_LENGTH_MAX];
    bool keepGoing;  // damaged data is read all the same
    bool warned;     // the failure is a warning about damaged data
    enum { header, scanning, finishing } phase;
    char damage[JMSG_LENGTH_MAX];  // and the first damage is told afterwards
};

// Ends the read or write for reason, which outlives the jump.
[[noreturn]] void failWith(j_common_ptr cinfo, const char* reason);
// Errors end the read or write; warnings about damaged data too, unless
// failure.keepGoing.
void quietErrors(JpegFailure& failure);
