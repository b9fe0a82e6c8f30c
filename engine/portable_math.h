// exp, log and pow from additions, multiplications and divisions alone, in a
// fixed order. The C libraries' own functions differ in their last bits
// between glibc and the Windows runtimes, and a table entry near a rounding
// edge would then come out one apart: velto.so and velto.dll must give the
// same bytes. Within a few units in the last place of the exact values.
#pragma once

// Natural logarithm of x above 0; -infinity at 0, NaN below 0 or for NaN,
// +infinity for +infinity. portableLog(1) is exactly 0.
double portableLog(double x);

// e to the x; 0 far below, +infinity far above, NaN for NaN.
// portableExp(0) is exactly 1.
double portableExp(double x);

// x to the y for x of 0 or more: exp(y log x); 0 for x = 0 and y above 0.
double portablePow(double x, double y);
