#pragma once

// Loops over audio written with the compiler's vector types run in a second copy for
// processors with AVX2 and FMA (most machines of the last ten years), beside the one for every
// x86-64; the loader picks one when the program starts. Their helpers are always inlined into
// both copies, so vectors never pass a call, whose ABI would differ between the copies.
// ThreadSanitizer's builds keep one copy: the loader's choice runs before its runtime is set up.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__) && !defined(__SANITIZE_THREAD__)
#define ORVEL_WIDE_VECTORS [[gnu::target_clones("arch=x86-64-v3", "default")]]
#else
#define ORVEL_WIDE_VECTORS
#endif
#if defined(__GNUC__) // GCC and clang
#pragma GCC diagnostic ignored "-Wpsabi"
#endif
#define ORVEL_ALWAYS_INLINE [[gnu::always_inline]] inline
