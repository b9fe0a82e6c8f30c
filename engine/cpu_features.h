// What the processor and its operating system let this program run, asked of
// the processor itself.
#pragma once

// True when AVX2 instructions may run: the processor has them (CPUID leaf 7,
// EBX bit 5, with AVX in leaf 1) and the operating system saves and restores
// the full vector registers on a thread switch (OSXSAVE set, and XCR0 bits 1
// and 2, the SSE and AVX state, enabled). Always false off x86.
//
// Asks the processor on every call. CPUID is slow where a hypervisor traps it
// (about 15 microseconds here under KVM), so ask once, not per frame or row.
bool cpuRunsAvx2();

// True when AVX-512 instructions on bytes and words (AVX512F, BW) and the
// byte permutes (VBMI) may run: the processor has them (leaf 7) and the
// operating system saves the mask and 512-bit register state (XCR0 bits 5
// to 7 with 1 and 2). Always false off x86. As slow to ask as the above.
bool cpuRunsAvx512Vbmi();
