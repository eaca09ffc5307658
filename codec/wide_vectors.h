#pragma once

// Some codec loops have a second form in 256-bit vector instructions (AVX2), chosen when the
// machine runs them; the portable form is the reference that the wide one must match bit for bit.
// Building with SONOCAP_PORTABLE_CODEC leaves the wide forms out.

#if defined(__x86_64__) && defined(__GNUC__) && !defined(SONOCAP_PORTABLE_CODEC)
#define SONOCAP_WIDE_VECTORS 1
#include <immintrin.h>
#define SONOCAP_WIDE __attribute__((target("avx2")))
#endif

namespace sonocap {

// Whether the wide forms run here.
inline bool HasWideVectors() {
#ifdef SONOCAP_WIDE_VECTORS
    static const bool has = __builtin_cpu_supports("avx2");
    return has;
#else
    return false;
#endif
}

}  // namespace sonocap
