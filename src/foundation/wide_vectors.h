#pragma once

// Loops over audio written with the compiler's vector types run in a second copy for
// processors with AVX2 and FMA (most machines of the last ten years), beside the one for every
// x86-64; the loader picks one when the program starts. Their helpers are always inlined into
// both copies, so vectors never pass a call, whose ABI would differ between the copies.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
#define ORVEL_WIDE_VECTORS [[gnu::target_clones("arch=x86-64-v3", "default")]]
#pragma GCC diagnostic ignored "-Wpsabi"
#else
#define ORVEL_WIDE_VECTORS
#endif
#define ORVEL_ALWAYS_INLINE [[gnu::always_inline]] inline
