#include "cloth/cloth_normals.h"

#include <cmath>

#include "cloth/simd_avx2.h"

// The sums are formed by coordinate in [i][j] tables, so each step runs over
// contiguous rows and vectorises. Every node still receives its triangles in the
// order the cells are visited (j outer, i inner; triangle 1 before 2), which for
// node (i, j) is: cell (i-1, j-1) T1 and T2, cell (i, j-1) T2, cell (i-1, j) T1,
// cell (i, j) T1 and T2. A missing cell adds +0, which changes nothing: a sum
// that starts at +0 can never be -0.

namespace {

// Tables with a zero margin of one on each side: node or cell (i, j) at [i+1][j+1].
constexpr int margin = 1;
constexpr int tableSize = gridSize + 2 * margin;
using Table = float[tableSize][tableSize + 3];

alignas(32) Table positionTable[3];
alignas(32) Table triangle1[3];  // cells only; row and column 44 stay zero
alignas(32) Table triangle2[3];
alignas(32) Table partialSums[3];  // each node's sum before the cell it is the first corner of

// The loops below are plain C++, inlined into one copy built for AVX2 and one
// for any processor; haveAvx2() picks, as it does for the hand-written paths.
#define CLOTH_VECTOR_LOOP inline __attribute__((always_inline))

CLOTH_VECTOR_LOOP void gatherPositions() {
    for (int i = 0; i < gridSize; ++i)
        for (int j = 0; j < gridSize; ++j)
            for (int c = 0; c < 3; ++c) positionTable[c][i + margin][j + margin] = ClothGrid[i][j].position[c];
}

// T1 = (P10 - P00) x (P00 - P11), T2 = (P01 - P11) x (P11 - P00) for every cell.
CLOTH_VECTOR_LOOP void computeTriangles() {
    const Table& x = positionTable[0];
    const Table& y = positionTable[1];
    const Table& z = positionTable[2];
    for (int i = margin; i < cellCount + margin; ++i) {
        for (int j = margin; j < cellCount + margin; ++j) {
            const float ax = x[i + 1][j] - x[i][j], ay = y[i + 1][j] - y[i][j], az = z[i + 1][j] - z[i][j];
            const float bx = x[i][j] - x[i + 1][j + 1], by = y[i][j] - y[i + 1][j + 1],
                        bz = z[i][j] - z[i + 1][j + 1];
            triangle1[0][i][j] = ay * bz - az * by;
            triangle1[1][i][j] = az * bx - ax * bz;
            triangle1[2][i][j] = ax * by - ay * bx;
            const float cx = x[i][j + 1] - x[i + 1][j + 1], cy = y[i][j + 1] - y[i + 1][j + 1],
                        cz = z[i][j + 1] - z[i + 1][j + 1];
            const float dx = x[i + 1][j + 1] - x[i][j], dy = y[i + 1][j + 1] - y[i][j],
                        dz = z[i + 1][j + 1] - z[i][j];
            triangle2[0][i][j] = cy * dz - cz * dy;
            triangle2[1][i][j] = cz * dx - cx * dz;
            triangle2[2][i][j] = cx * dy - cy * dx;
        }
    }
}

CLOTH_VECTOR_LOOP void sumTriangles() {
    for (int c = 0; c < 3; ++c) {
        const Table& t1 = triangle1[c];
        const Table& t2 = triangle2[c];
        for (int i = 0; i < gridSize; ++i) {
            const int a = i + margin;
            for (int j = 0; j < gridSize; ++j) {
                const int b = j + margin;
                float sum = nodeNormalSums[i][j][c];
                sum = sum + t1[a - 1][b - 1];
                sum = sum + t2[a - 1][b - 1];
                sum = sum + t2[a][b - 1];
                sum = sum + t1[a - 1][b];
                partialSums[c][a][b] = sum;
                sum = sum + t1[a][b];
                sum = sum + t2[a][b];
                nodeNormalSums[i][j][c] = sum;
            }
        }
    }
}

// Normal line of node [i+1][j], drawn right after cell (i, j): its sum then
// holds every earlier cell and triangle 1 of cell (i, j), but not yet the
// triangles of cell (i+1, j).
CLOTH_VECTOR_LOOP void computeLineEnds(float (*lineEnds)[cellCount][3]) {
    const float lineScale = normalLineScale;
    const float s = gridSpacing;
    for (int j = 0; j < cellCount; ++j)
        for (int i = 0; i < cellCount; ++i)
            for (int c = 0; c < 3; ++c) {
                const float sum = partialSums[c][i + 1 + margin][j + margin];
                lineEnds[j][i][c] = lineScale * sum * s + positionTable[c][i + 1 + margin][j + margin];
            }
}

// Length in double, stored as float, each component divided by that float. A
// zero vector has no direction: it stays zero rather than turning into NaN
// (dividing by 1 instead keeps its zeros, signs included).
inline void scaleToUnit(float v[3]) {
    float length = (float)std::sqrt((double)v[0] * v[0] + (double)v[1] * v[1] + (double)v[2] * v[2]);
    if (length == 0.0f) length = 1.0f;
    v[0] = v[0] / length;
    v[1] = v[1] / length;
    v[2] = v[2] / length;
}

inline void subtract(const float a[3], const float b[3], float out[3]) {
    out[0] = a[0] - b[0];
    out[1] = a[1] - b[1];
    out[2] = a[2] - b[2];
}

inline void cross(const float a[3], const float b[3], float out[3]) {
    out[0] = a[1] * b[2] - a[2] * b[1];
    out[1] = a[2] * b[0] - a[0] * b[2];
    out[2] = a[0] * b[1] - a[1] * b[0];
}

CLOTH_VECTOR_LOOP void smoothNormalPass(float (*lineEnds)[cellCount][3]) {
    gatherPositions();
    computeTriangles();
    sumTriangles();
    if (lineEnds) computeLineEnds(lineEnds);
}

#ifdef CLOTH_HAVE_AVX2_PATH
__attribute__((target("avx2"))) void sumSmoothNormalsAvx2(float (*lineEnds)[cellCount][3]) {
    smoothNormalPass(lineEnds);
}
#endif

}  // namespace

void sumSmoothNormals(float (*lineEnds)[cellCount][3]) {
#ifdef CLOTH_HAVE_AVX2_PATH
    if (haveAvx2()) {
        sumSmoothNormalsAvx2(lineEnds);
        return;
    }
#endif
    smoothNormalPass(lineEnds);
}

#ifdef CLOTH_HAVE_AVX2_PATH
// scaleToUnit for eight nodes at once.
__attribute__((target("avx2"))) static void scaleEightToUnit(float* v) {
    const __m256 in[3] = {_mm256_loadu_ps(v), _mm256_loadu_ps(v + 8), _mm256_loadu_ps(v + 16)};
    __m256 x, y, z;
    deinterleave(in, x, y, z);
    __m256 length = lengthOf(x, y, z);
    length = _mm256_blendv_ps(length, _mm256_set1_ps(1.0f), _mm256_cmp_ps(length, _mm256_setzero_ps(), _CMP_EQ_OQ));
    __m256 out[3];
    interleave(_mm256_div_ps(x, length), _mm256_div_ps(y, length), _mm256_div_ps(z, length), out);
    for (int k = 0; k < 3; ++k) _mm256_storeu_ps(v + 8 * k, out[k]);
}
#endif

void normaliseNodeNormals() {
    float* v = &nodeNormalSums[0][0][0];
    int n = 0;
#ifdef CLOTH_HAVE_AVX2_PATH
    if (haveAvx2())
        for (; n + 8 <= gridSize * gridSize; n += 8) scaleEightToUnit(v + 3 * n);
#endif
    for (; n < gridSize * gridSize; ++n) scaleToUnit(v + 3 * n);
}

void cellCornerNormals(int i, int j, float normals[4][3]) {
    const float* p00 = ClothGrid[i][j].position;
    const float* p10 = ClothGrid[i + 1][j].position;
    const float* p11 = ClothGrid[i + 1][j + 1].position;
    const float* p01 = ClothGrid[i][j + 1].position;
    float a[3], b[3];

    subtract(p10, p00, a);
    subtract(p00, p11, b);
    cross(a, b, normals[0]);

    subtract(p11, p10, a);
    subtract(p10, p00, b);
    cross(a, b, normals[1]);

    subtract(p01, p11, a);
    subtract(p11, p10, b);
    cross(a, b, normals[2]);

    // -((P11 - P01) x (P01 - P00)), negated component by component.
    subtract(p11, p01, a);
    subtract(p01, p00, b);
    cross(a, b, normals[3]);
    for (int c = 0; c < 3; ++c) normals[3][c] = -normals[3][c];

    for (int k = 0; k < 4; ++k) scaleToUnit(normals[k]);
}
