#include "cloth/wind_force.h"

#include "cloth/cloth_grid.h"
#include "cloth/simd_avx2.h"

#include <cstring>

float dotProduct(Vector3 a, Vector3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

// Columns 2k and 2k+1 take the two triangles of cell (i, 2k), split along its
// diagonal from (i, 2k+1) to (i+1, 2k).
static inline void windForceOfNode(int i, int j, Vector3 wind) {
    const float* a = nodeNormalSums[i][j];
    const float* b = (j % 2 == 0) ? nodeNormalSums[i][j + 1] : nodeNormalSums[i + 1][j - 1];
    const float* c = nodeNormalSums[i + 1][j];
    const Vector3 mean = {(float)(((double)a[0] + b[0] + c[0]) / 3), (float)(((double)a[1] + b[1] + c[1]) / 3),
                          (float)(((double)a[2] + b[2] + c[2]) / 3)};
    const float w = dotProduct(wind, mean);
    float* force = ClothGrid[i][j].windForce;
    force[0] = w * mean.x;
    force[1] = w * mean.y;
    force[2] = w * mean.z;
}

#ifdef CLOTH_HAVE_AVX2_PATH

namespace {

__attribute__((target("avx2"))) inline void loadNormals(const float* first, __m256& x, __m256& y, __m256& z) {
    const __m256 in[3] = {_mm256_loadu_ps(first), _mm256_loadu_ps(first + 8), _mm256_loadu_ps(first + 16)};
    deinterleave(in, x, y, z);
}

// ((double)a + b + c) / 3, stored as float.
__attribute__((target("avx2"))) inline __m256 meanOf(__m256 a, __m256 b, __m256 c) {
    const __m256d three = _mm256_set1_pd(3.0);
    __m128 halves[2];
    for (int h = 0; h < 2; ++h) {
        const __m128 ha = h ? _mm256_extractf128_ps(a, 1) : _mm256_castps256_ps128(a);
        const __m128 hb = h ? _mm256_extractf128_ps(b, 1) : _mm256_castps256_ps128(b);
        const __m128 hc = h ? _mm256_extractf128_ps(c, 1) : _mm256_castps256_ps128(c);
        const __m256d sum = _mm256_add_pd(_mm256_add_pd(_mm256_cvtps_pd(ha), _mm256_cvtps_pd(hb)), _mm256_cvtps_pd(hc));
        halves[h] = _mm256_cvtpd_ps(_mm256_div_pd(sum, three));
    }
    return _mm256_set_m128(halves[1], halves[0]);
}

// Nodes [i][j0 .. j0+7], j0 even: the even lanes take [i][j+1], the odd [i+1][j-1].
__attribute__((target("avx2"))) void windForcesOfBlock(int i, int j0, Vector3 wind) {
    __m256 ax, ay, az, rx, ry, rz, cx, cy, cz;
    loadNormals(nodeNormalSums[i][j0], ax, ay, az);
    loadNormals(nodeNormalSums[i][j0 + 1], rx, ry, rz);
    loadNormals(nodeNormalSums[i + 1][j0], cx, cy, cz);
    // An odd lane's [i+1][j-1] is the lane before it in the [i+1] load, so
    // nothing left of the block is read (column -1 when j0 = 0).
    const __m256i previousLane = _mm256_setr_epi32(0, 0, 2, 2, 4, 4, 6, 6);
    const __m256 mx = meanOf(ax, _mm256_blend_ps(rx, _mm256_permutevar8x32_ps(cx, previousLane), 0xAA), cx);
    const __m256 my = meanOf(ay, _mm256_blend_ps(ry, _mm256_permutevar8x32_ps(cy, previousLane), 0xAA), cy);
    const __m256 mz = meanOf(az, _mm256_blend_ps(rz, _mm256_permutevar8x32_ps(cz, previousLane), 0xAA), cz);
    const __m256 w = _mm256_add_ps(
        _mm256_add_ps(_mm256_mul_ps(_mm256_set1_ps(wind.x), mx), _mm256_mul_ps(_mm256_set1_ps(wind.y), my)),
        _mm256_mul_ps(_mm256_set1_ps(wind.z), mz));
    __m256 forces[3];
    interleave(_mm256_mul_ps(w, mx), _mm256_mul_ps(w, my), _mm256_mul_ps(w, mz), forces);
    alignas(32) float staged[24];
    for (int k = 0; k < 3; ++k) _mm256_store_ps(staged + 8 * k, forces[k]);
    for (int n = 0; n < 8; ++n) std::memcpy(ClothGrid[i][j0 + n].windForce, staged + 3 * n, 3 * sizeof(float));
}

}  // namespace

#endif

void computeWindForcesOfRow(int i) {
    const Vector3 wind = {windVector[0], windVector[1], windVector[2]};
    int j = 0;
#ifdef CLOTH_HAVE_AVX2_PATH
    if (haveAvx2())
        for (; j + 8 <= lastNode; j += 8) windForcesOfBlock(i, j, wind);
#endif
    for (; j < lastNode; ++j) windForceOfNode(i, j, wind);
}

void computeWindForces() {
    for (int i = 0; i < lastNode; ++i) computeWindForcesOfRow(i);
}
