#include "cloth/accumulate_forces.h"

#include <cmath>

#include "cloth/cloth_grid.h"
#include "cloth/wind_force.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define CLOTH_HAVE_AVX2_PATH 1
#endif

// Every spring is measured once, from the end that sees its neighbour at
// (0,+1), (+1,-1), (+1,0) or (+1,+1). The other end's own evaluation would
// measure the same length (its differences only change sign) and a direction
// that is exactly the negated one, except that equal coordinates give +0 at both
// ends: 0 - d keeps that. Compression and force are formed per end from its own
// rest length, so every field comes out as if each end had been evaluated alone.

// The slot node [i][j] gives its neighbour at (di, dj): the count of neighbours
// visited before it (di outer, dj inner, ascending, (0,0) skipped).
static inline int slotOf(int i, int j, int di, int dj) {
    const int diFirst = i > 0 ? -1 : 0;
    const int djFirst = j > 0 ? -1 : 0;
    const int djCount = (j < lastNode ? 1 : 0) - djFirst + 1;
    const int visited = (di - diFirst) * djCount + (dj - djFirst);
    return (di > 0 || (di == 0 && dj > 0)) ? visited - 1 : visited;
}

static inline int springCountOf(int i, int j) {
    return (i > 0 && i < lastNode ? 3 : 2) * (j > 0 && j < lastNode ? 3 : 2) - 1;
}

// Slot sums in slot order, then the wind: the float result of every addition
// is what the next one starts from.
static inline void sumNodeForce(ClothParticle& node, int springCount, bool addWind) {
    for (int c = 0; c < 3; ++c) {
        float total = node.force[c];
        for (int s = 0; s < springCount; ++s) total = total + node.springForce[s][c];
        if (addWind) total = total + node.windForce[c];
        node.force[c] = total;
    }
}

static inline void evaluateSpring(ClothParticle& p, int slotP, ClothParticle& q, int slotQ, float stiffness) {
    const float dx = p.position[0] - q.position[0];
    const float dy = p.position[1] - q.position[1];
    const float dz = p.position[2] - q.position[2];
    const double squares = (double)dx * dx + (double)dy * dy + (double)dz * dz;
    float length = (float)std::sqrt(squares);
    if (length == 0.0f) length = 0.00001f;
    p.springLength[slotP] = length;
    q.springLength[slotQ] = length;
    const float compressionP = p.restLength[slotP] - length;
    const float compressionQ = q.restLength[slotQ] - length;
    p.springCompression[slotP] = compressionP;
    q.springCompression[slotQ] = compressionQ;
    for (int c = 0; c < 3; ++c) {
        const float towardQ = (q.position[c] - p.position[c]) / length;
        const float towardP = 0.0f - towardQ;
        p.springDirection[slotP][c] = towardQ;
        q.springDirection[slotQ][c] = towardP;
        p.springForce[slotP][c] = -stiffness * towardQ * compressionP;
        q.springForce[slotQ][c] = -stiffness * towardP * compressionQ;
    }
}

// Portable path: one spring at a time, scalar.
static void accumulateSpringForcesScalar(float stiffness, bool addWind) {
    for (int i = 0; i < gridSize; ++i) {
        for (int j = 0; j < gridSize; ++j) {
            ClothParticle& node = ClothGrid[i][j];
            if (j < lastNode)
                evaluateSpring(node, slotOf(i, j, 0, 1), ClothGrid[i][j + 1], slotOf(i, j + 1, 0, -1), stiffness);
            if (i < lastNode) {
                if (j > 0)
                    evaluateSpring(node, slotOf(i, j, 1, -1), ClothGrid[i + 1][j - 1], slotOf(i + 1, j - 1, -1, 1),
                                   stiffness);
                evaluateSpring(node, slotOf(i, j, 1, 0), ClothGrid[i + 1][j], slotOf(i + 1, j, -1, 0), stiffness);
                if (j < lastNode)
                    evaluateSpring(node, slotOf(i, j, 1, 1), ClothGrid[i + 1][j + 1], slotOf(i + 1, j + 1, -1, -1),
                                   stiffness);
            }
            // Node [i][j] is complete once its own forward springs are done.
            sumNodeForce(node, springCountOf(i, j), addWind);
        }
    }
}

#ifdef CLOTH_HAVE_AVX2_PATH

namespace {

// A node's eight neighbour directions in the interior slot order: lanes 0-3
// toward (-1,-1), (-1,0), (-1,+1), (0,-1), lanes 4-7 toward (0,+1), (+1,-1),
// (+1,0), (+1,+1). Lanes 4-7 are measured from this node; lanes 0-3 are filled
// in, negated, by the neighbours that measured them. A border node's slots are
// the valid lanes in the same order.
struct alignas(32) NodeSprings {
    float length[8];
    float direction[3][8];
};

// Positions by coordinate, node [i][j] at [i][j + 2]; row 45 and the margins are
// zero so the lanes of border nodes that point outside read something finite.
constexpr int paddedWidth = gridSize + 7;
alignas(32) float paddedPositions[3][gridSize + 1][paddedWidth];
// Two rows of springs, node [i][j] at [i & 1][j + 1].
NodeSprings stagedRows[2][gridSize + 2];

// Lanes of the eight directions that are a border node's slots, in slot order,
// and how many; index by (row case * 3 + column case), case 0 first, 1 inner, 2 last.
struct BorderCase {
    int lanes[8];
    int count;
};
constexpr BorderCase borderCases[9] = {
    {{4, 6, 7, 0, 0, 0, 0, 0}, 3},  // [0][0]
    {{3, 4, 5, 6, 7, 0, 0, 0}, 5},  // [0][j]
    {{3, 5, 6, 0, 0, 0, 0, 0}, 3},  // [0][44]
    {{1, 2, 4, 6, 7, 0, 0, 0}, 5},  // [i][0]
    {{0, 1, 2, 3, 4, 5, 6, 7}, 8},  // interior
    {{0, 1, 3, 5, 6, 0, 0, 0}, 5},  // [i][44]
    {{1, 2, 4, 0, 0, 0, 0, 0}, 3},  // [44][0]
    {{0, 1, 2, 3, 4, 0, 0, 0}, 5},  // [44][j]
    {{0, 1, 3, 0, 0, 0, 0, 0}, 3},  // [44][44]
};

inline int edgeCase(int k) { return k == 0 ? 0 : (k == lastNode ? 2 : 1); }

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

// The forward springs of node [i][j] (lanes 4-7 of its own entry), and the same
// springs seen from their other ends (one lane 0-3 of each neighbour's entry).
__attribute__((target("avx2"))) inline void measureForwardSprings(int i, int j) {
    NodeSprings* row = stagedRows[i & 1] + 1;
    NodeSprings* below = stagedRows[(i + 1) & 1] + 1;
    __m128 toward[3];
    __m256d squares = _mm256_setzero_pd();
    for (int c = 0; c < 3; ++c) {
        // lanes: [i][j+1], [i+1][j-1], [i+1][j], [i+1][j+1]
        const __m128 under = _mm_loadu_ps(&paddedPositions[c][i + 1][j]);
        const __m128 neighbours = _mm_move_ss(under, _mm_load_ss(&paddedPositions[c][i][j + 3]));
        const __m128 self = _mm_set1_ps(paddedPositions[c][i][j + 2]);
        const __m256d difference = _mm256_cvtps_pd(_mm_sub_ps(self, neighbours));
        squares = c == 0 ? _mm256_mul_pd(difference, difference)
                         : _mm256_add_pd(squares, _mm256_mul_pd(difference, difference));
        toward[c] = _mm_sub_ps(neighbours, self);
    }
    __m128 length = _mm256_cvtpd_ps(_mm256_sqrt_pd(squares));
    length = _mm_blendv_ps(length, _mm_set1_ps(0.00001f), _mm_cmpeq_ps(length, _mm_setzero_ps()));

    NodeSprings& self = row[j];
    _mm_store_ps(self.length + 4, length);
    // Other ends: (0,+1) is lane 3 of [i][j+1]; (+1,-1) lane 2 of [i+1][j-1];
    // (+1,0) lane 1 of [i+1][j]; (+1,+1) lane 0 of [i+1][j+1].
    _mm_store_ss(&row[j + 1].length[3], length);
    below[j - 1].length[2] = _mm_cvtss_f32(_mm_shuffle_ps(length, length, 1));
    below[j].length[1] = _mm_cvtss_f32(_mm_movehl_ps(length, length));
    below[j + 1].length[0] = _mm_cvtss_f32(_mm_shuffle_ps(length, length, 3));
    for (int c = 0; c < 3; ++c) {
        const __m128 direction = _mm_div_ps(toward[c], length);
        const __m128 back = _mm_sub_ps(_mm_setzero_ps(), direction);
        _mm_store_ps(self.direction[c] + 4, direction);
        _mm_store_ss(&row[j + 1].direction[c][3], back);
        below[j - 1].direction[c][2] = _mm_cvtss_f32(_mm_shuffle_ps(back, back, 1));
        below[j].direction[c][1] = _mm_cvtss_f32(_mm_movehl_ps(back, back));
        below[j + 1].direction[c][0] = _mm_cvtss_f32(_mm_shuffle_ps(back, back, 3));
    }
}

__attribute__((target("avx2"))) inline void completeNode(ClothParticle& node, const NodeSprings& springs,
                                                         const BorderCase& border, __m256 negativeStiffness) {
    __m256 length = _mm256_load_ps(springs.length);
    __m256 x = _mm256_load_ps(springs.direction[0]);
    __m256 y = _mm256_load_ps(springs.direction[1]);
    __m256 z = _mm256_load_ps(springs.direction[2]);
    if (border.count < 8) {
        const __m256i lanes = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(border.lanes));
        length = _mm256_permutevar8x32_ps(length, lanes);
        x = _mm256_permutevar8x32_ps(x, lanes);
        y = _mm256_permutevar8x32_ps(y, lanes);
        z = _mm256_permutevar8x32_ps(z, lanes);
    }
    const __m256 compression = _mm256_sub_ps(_mm256_loadu_ps(node.restLength), length);
    __m256 direction[3], compressions[3], force[3];
    interleave(x, y, z, direction);
    triple(compression, compressions);
    for (int k = 0; k < 3; ++k)
        force[k] = _mm256_mul_ps(_mm256_mul_ps(negativeStiffness, direction[k]), compressions[k]);
    if (border.count == 8) {
        _mm256_storeu_ps(node.springLength, length);
        _mm256_storeu_ps(node.springCompression, compression);
        for (int k = 0; k < 3; ++k) {
            _mm256_storeu_ps(&node.springDirection[0][0] + 8 * k, direction[k]);
            _mm256_storeu_ps(&node.springForce[0][0] + 8 * k, force[k]);
        }
        return;
    }
    // Slots past the count are never written.
    alignas(32) float staged[4][24];
    _mm256_store_ps(staged[0], length);
    _mm256_store_ps(staged[1], compression);
    for (int k = 0; k < 3; ++k) {
        _mm256_store_ps(staged[2] + 8 * k, direction[k]);
        _mm256_store_ps(staged[3] + 8 * k, force[k]);
    }
    for (int s = 0; s < border.count; ++s) {
        node.springLength[s] = staged[0][s];
        node.springCompression[s] = staged[1][s];
        for (int c = 0; c < 3; ++c) {
            node.springDirection[s][c] = staged[2][3 * s + c];
            node.springForce[s][c] = staged[3][3 * s + c];
        }
    }
}

// sumNodeForce with x, y and z in three lanes of one register: each lane still
// adds the slots in order. The fourth lane reads the float after each vector
// (inside the record) and is discarded; acceleration[0] is written back as read.
__attribute__((target("avx2"))) inline void sumNodeForceVector(ClothParticle& node, int springCount,
                                                              bool addWind) {
    const __m128 start = _mm_loadu_ps(node.force);
    __m128 total = start;
    for (int s = 0; s < springCount; ++s) total = _mm_add_ps(total, _mm_loadu_ps(node.springForce[s]));
    if (addWind) total = _mm_add_ps(total, _mm_loadu_ps(node.windForce));
    _mm_storeu_ps(node.force, _mm_blend_ps(total, start, 0x8));
}

__attribute__((target("avx2"))) void accumulateSpringForcesAvx2(float stiffness, bool addWind) {
    for (int i = 0; i < gridSize; ++i)
        for (int j = 0; j < gridSize; ++j)
            for (int c = 0; c < 3; ++c) paddedPositions[c][i][j + 2] = ClothGrid[i][j].position[c];

    const __m256 negativeStiffness = _mm256_set1_ps(-stiffness);
    for (int i = 0; i < gridSize; ++i) {
        // The whole row is measured first, so the roots and divisions of
        // neighbouring nodes overlap; after it every entry of row i is complete.
        for (int j = 0; j < gridSize; ++j) measureForwardSprings(i, j);
        const NodeSprings* row = stagedRows[i & 1] + 1;
        const int rowCase = edgeCase(i) * 3;
        for (int j = 0; j < gridSize; ++j)
            completeNode(ClothGrid[i][j], row[j], borderCases[rowCase + edgeCase(j)], negativeStiffness);
        // Summed once the row's stores have settled.
        for (int j = 0; j < gridSize; ++j)
            sumNodeForceVector(ClothGrid[i][j], borderCases[rowCase + edgeCase(j)].count, addWind);
    }
}

}  // namespace

#endif

void accumulateForces() {
    computeWindForces();
    const float stiffness = springStiffness;
    const bool addWind = windEnabled != 0;
#ifdef CLOTH_HAVE_AVX2_PATH
    static const bool haveAvx2 = __builtin_cpu_supports("avx2");
    if (haveAvx2) {
        accumulateSpringForcesAvx2(stiffness, addWind);
        return;
    }
#endif
    accumulateSpringForcesScalar(stiffness, addWind);
}
