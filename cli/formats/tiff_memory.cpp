#include "cli/formats/tiff_memory.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace {

tmsize_t readMemory(thandle_t handle, void* buffer, tmsize_t count)
{
    auto* m = static_cast<TiffMemory*>(handle);
    if (count < 0 || m->at > m->size) return 0;
    const uint64_t n = std::min<uint64_t>(uint64_t(count), m->size - m->at);
    const uint8_t* from = m->out ? m->out->data() : m->data;
    if (n > 0) std::memcpy(buffer, from + m->at, n);
    m->at += n;
    return tmsize_t(n);
}

tmsize_t writeMemory(thandle_t handle, void* buffer, tmsize_t count)
{
    auto* m = static_cast<TiffMemory*>(handle);
    if (!m->out || count < 0) return -1;
    const uint64_t end = m->at + uint64_t(count);
    try {  // no exception may cross libtiff's C code
        if (end > m->out->size()) m->out->resize(end);
    } catch (...) {
        m->full = true;
        return -1;
    }
    if (count > 0) std::memcpy(m->out->data() + m->at, buffer, size_t(count));
    m->at = end;
    m->size = std::max(m->size, end);
    return count;
}

toff_t seekMemory(thandle_t handle, toff_t offset, int whence)
{
    auto* m = static_cast<TiffMemory*>(handle);
    const uint64_t base = whence == SEEK_CUR ? m->at : whence == SEEK_END ? m->size : 0;
    if (offset > UINT64_MAX - base) return toff_t(-1);
    m->at = base + offset;
    return m->at;
}

int closeMemory(thandle_t)
{
    return 0;
}
toff_t sizeOfMemory(thandle_t handle)
{
    return static_cast<TiffMemory*>(handle)->size;
}
int mapNothing(thandle_t, void**, toff_t*)
{
    return 0;
}
void unmapNothing(thandle_t, void*, toff_t) {}

int onTiffError(TIFF*, void* context, const char*, const char* format, va_list args)
{
    auto* m = static_cast<TiffMemory*>(context);
    if (m->error[0] != 0) return 1;
    std::vsnprintf(m->error, sizeof m->error, format, args);
    // Many messages start with the file's name, which is ours to give.
    constexpr char prefix[] = "tiff: ";
    if (std::strncmp(m->error, prefix, sizeof prefix - 1) == 0)
        std::memmove(m->error, m->error + sizeof prefix - 1,
                     std::strlen(m->error) - (sizeof prefix - 2));
    return 1;  // told: libtiff's global handler stays silent
}

int onTiffWarning(TIFF*, void*, const char*, const char*, va_list)
{
    return 1;
}

}  // namespace

TIFF* openTiff(TiffMemory& memory, const char* mode)
{
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    if (!options) return nullptr;
    TIFFOpenOptionsSetErrorHandlerExtR(options, onTiffError, &memory);
    TIFFOpenOptionsSetWarningHandlerExtR(options, onTiffWarning, &memory);
    TIFF* tiff = TIFFClientOpenExt("tiff", mode, &memory, readMemory, writeMemory, seekMemory,
                                   closeMemory, sizeOfMemory, mapNothing, unmapNothing, options);
    TIFFOpenOptionsFree(options);
    return tiff;
}
