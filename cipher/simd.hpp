// Which x86 vector kernels run: the best the processor offers, decided once.
#pragma once

#if defined(__x86_64__) || defined(__i386__)
#define DECIPHER_X86 1
#else
#define DECIPHER_X86 0
#endif

enum class simd_level { scalar, ssse3, avx2 };

simd_level simd_in_use();

// Uses nothing above level from now on, so that tests and benchmarks can reach every path.
void limit_simd(simd_level level);
