#include "engine/cpu_features.h"

#include <cstdint>

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>

namespace {

// XCR0: the register states the operating system has enabled. XGETBV is
// written out so that no compiler target flag is needed for it.
uint64_t enabledRegisterStates()
{
    uint32_t low = 0, high = 0;
    __asm__ volatile("xgetbv" : "=a"(low), "=d"(high) : "c"(0));
    return uint64_t{high} << 32 | low;
}

}  // namespace

bool cpuRunsAvx2()
{
    constexpr uint32_t osxsaveBit = 1u << 27, avxBit = 1u << 28;  // leaf 1, ECX
    constexpr uint32_t avx2Bit = 1u << 5;                         // leaf 7, EBX
    constexpr uint64_t sseAndAvxState = 0x6;                      // XCR0 bits 1 and 2
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (!__get_cpuid(1, &a, &b, &c, &d)) return false;
    // XGETBV itself is an invalid instruction unless OSXSAVE is set.
    if ((c & osxsaveBit) == 0 || (c & avxBit) == 0) return false;
    if ((enabledRegisterStates() & sseAndAvxState) != sseAndAvxState) return false;
    if (__get_cpuid_max(0, nullptr) < 7) return false;
    __cpuid_count(7, 0, a, b, c, d);
    return (b & avx2Bit) != 0;
}

bool cpuRunsAvx512Vbmi()
{
    constexpr uint32_t osxsaveBit = 1u << 27;                        // leaf 1, ECX
    constexpr uint32_t avx512fBit = 1u << 16, avx512bwBit = 1u << 30;  // leaf 7, EBX
    constexpr uint32_t vbmiBit = 1u << 1;                            // leaf 7, ECX
    constexpr uint64_t avx512State = 0xE6;                           // XCR0 bits 1, 2, 5, 6, 7
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (!__get_cpuid(1, &a, &b, &c, &d) || (c & osxsaveBit) == 0) return false;
    if ((enabledRegisterStates() & avx512State) != avx512State) return false;
    if (__get_cpuid_max(0, nullptr) < 7) return false;
    __cpuid_count(7, 0, a, b, c, d);
    return (b & avx512fBit) != 0 && (b & avx512bwBit) != 0 && (c & vbmiBit) != 0;
}

#else

bool cpuRunsAvx2()
{
    return false;
}

bool cpuRunsAvx512Vbmi()
{
    return false;
}

#endif
