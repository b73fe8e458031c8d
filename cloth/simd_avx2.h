#pragma once
// simd_avx2.h -- AVX2 helpers shared by the cloth's vector paths. Only for code
// compiled with target("avx2") and run after checking haveAvx2(); every
// operation is an exact IEEE one, so the vector paths give the scalar bits.

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define CLOTH_HAVE_AVX2_PATH 1

// Set by tests to run the portable paths on a processor that has AVX2.
inline bool avx2PathsDisabled = false;

// Whether to take the vector paths: the processor has AVX2 (asked once).
inline bool haveAvx2() {
    static const bool have = __builtin_cpu_supports("avx2");
    return have && !avx2PathsDisabled;
}

// Eight vectors of three: x0 y0 z0 x1 y1 z1 ... x7 y7 z7 in out[0..2].
__attribute__((target("avx2"))) inline void interleave(__m256 x, __m256 y, __m256 z, __m256 out[3]) {
    const __m256 x0 = _mm256_permutevar8x32_ps(x, _mm256_setr_epi32(0, 0, 0, 1, 0, 0, 2, 0));
    const __m256 y0 = _mm256_permutevar8x32_ps(y, _mm256_setr_epi32(0, 0, 0, 0, 1, 0, 0, 2));
    const __m256 z0 = _mm256_permutevar8x32_ps(z, _mm256_setr_epi32(0, 0, 0, 0, 0, 1, 0, 0));
    const __m256 x1 = _mm256_permutevar8x32_ps(x, _mm256_setr_epi32(0, 3, 0, 0, 4, 0, 0, 5));
    const __m256 y1 = _mm256_permutevar8x32_ps(y, _mm256_setr_epi32(0, 0, 3, 0, 0, 4, 0, 0));
    const __m256 z1 = _mm256_permutevar8x32_ps(z, _mm256_setr_epi32(2, 0, 0, 3, 0, 0, 4, 0));
    const __m256 x2 = _mm256_permutevar8x32_ps(x, _mm256_setr_epi32(0, 0, 6, 0, 0, 7, 0, 0));
    const __m256 y2 = _mm256_permutevar8x32_ps(y, _mm256_setr_epi32(5, 0, 0, 6, 0, 0, 7, 0));
    const __m256 z2 = _mm256_permutevar8x32_ps(z, _mm256_setr_epi32(0, 5, 0, 0, 6, 0, 0, 7));
    out[0] = _mm256_blend_ps(_mm256_blend_ps(x0, y0, 0x92), z0, 0x24);
    out[1] = _mm256_blend_ps(_mm256_blend_ps(x1, y1, 0x24), z1, 0x49);
    out[2] = _mm256_blend_ps(_mm256_blend_ps(x2, y2, 0x49), z2, 0x92);
}

// Each of the eight values three times, to line up with interleaved vectors.
__attribute__((target("avx2"))) inline void triple(__m256 v, __m256 out[3]) {
    out[0] = _mm256_permutevar8x32_ps(v, _mm256_setr_epi32(0, 0, 0, 1, 1, 1, 2, 2));
    out[1] = _mm256_permutevar8x32_ps(v, _mm256_setr_epi32(2, 3, 3, 3, 4, 4, 4, 5));
    out[2] = _mm256_permutevar8x32_ps(v, _mm256_setr_epi32(5, 5, 6, 6, 6, 7, 7, 7));
}

__attribute__((target("avx2"))) inline void transpose8(__m256 r[8]) {
    const __m256 t0 = _mm256_unpacklo_ps(r[0], r[1]), t1 = _mm256_unpackhi_ps(r[0], r[1]);
    const __m256 t2 = _mm256_unpacklo_ps(r[2], r[3]), t3 = _mm256_unpackhi_ps(r[2], r[3]);
    const __m256 t4 = _mm256_unpacklo_ps(r[4], r[5]), t5 = _mm256_unpackhi_ps(r[4], r[5]);
    const __m256 t6 = _mm256_unpacklo_ps(r[6], r[7]), t7 = _mm256_unpackhi_ps(r[6], r[7]);
    const __m256 u0 = _mm256_shuffle_ps(t0, t2, 0x44), u1 = _mm256_shuffle_ps(t0, t2, 0xEE);
    const __m256 u2 = _mm256_shuffle_ps(t1, t3, 0x44), u3 = _mm256_shuffle_ps(t1, t3, 0xEE);
    const __m256 u4 = _mm256_shuffle_ps(t4, t6, 0x44), u5 = _mm256_shuffle_ps(t4, t6, 0xEE);
    const __m256 u6 = _mm256_shuffle_ps(t5, t7, 0x44), u7 = _mm256_shuffle_ps(t5, t7, 0xEE);
    r[0] = _mm256_permute2f128_ps(u0, u4, 0x20);
    r[1] = _mm256_permute2f128_ps(u1, u5, 0x20);
    r[2] = _mm256_permute2f128_ps(u2, u6, 0x20);
    r[3] = _mm256_permute2f128_ps(u3, u7, 0x20);
    r[4] = _mm256_permute2f128_ps(u0, u4, 0x31);
    r[5] = _mm256_permute2f128_ps(u1, u5, 0x31);
    r[6] = _mm256_permute2f128_ps(u2, u6, 0x31);
    r[7] = _mm256_permute2f128_ps(u3, u7, 0x31);
}

// The inverse of interleave: in[0..2] hold x0 y0 z0 ... x7 y7 z7.
__attribute__((target("avx2"))) inline void deinterleave(const __m256 in[3], __m256& x, __m256& y, __m256& z) {
    // Gather each coordinate's lanes from the three vectors, then blend.
    const __m256 a = _mm256_blend_ps(_mm256_blend_ps(in[0], in[1], 0x92), in[2], 0x24);
    const __m256 b = _mm256_blend_ps(_mm256_blend_ps(in[0], in[1], 0x24), in[2], 0x49);
    const __m256 c = _mm256_blend_ps(_mm256_blend_ps(in[0], in[1], 0x49), in[2], 0x92);
    x = _mm256_permutevar8x32_ps(a, _mm256_setr_epi32(0, 3, 6, 1, 4, 7, 2, 5));
    y = _mm256_permutevar8x32_ps(b, _mm256_setr_epi32(1, 4, 7, 2, 5, 0, 3, 6));
    z = _mm256_permutevar8x32_ps(c, _mm256_setr_epi32(2, 5, 0, 3, 6, 1, 4, 7));
}

// Four doubles from four floats, squared: exact in double.
__attribute__((target("avx2"))) inline __m256d squareOf(__m128 v) {
    const __m256d d = _mm256_cvtps_pd(v);
    return _mm256_mul_pd(d, d);
}

// (float)sqrt(x*x + y*y + z*z), the squares and their sum in double.
__attribute__((target("avx2"))) inline __m256 lengthOf(__m256 x, __m256 y, __m256 z) {
    __m128 halves[2];
    for (int h = 0; h < 2; ++h) {
        const __m128 hx = h ? _mm256_extractf128_ps(x, 1) : _mm256_castps256_ps128(x);
        const __m128 hy = h ? _mm256_extractf128_ps(y, 1) : _mm256_castps256_ps128(y);
        const __m128 hz = h ? _mm256_extractf128_ps(z, 1) : _mm256_castps256_ps128(z);
        const __m256d squares = _mm256_add_pd(_mm256_add_pd(squareOf(hx), squareOf(hy)), squareOf(hz));
        halves[h] = _mm256_cvtpd_ps(_mm256_sqrt_pd(squares));
    }
    return _mm256_set_m128(halves[1], halves[0]);
}

#endif
