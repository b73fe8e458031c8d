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

// A node's four forward springs, lanes toward (0,+1), (+1,-1), (+1,0), (+1,+1):
// for an interior node exactly its slots 4 to 7.
struct alignas(16) ForwardSprings {
    float length[4];
    float direction[3][4];
};

constexpr int forwardLane[3][3] = {{-1, -1, -1}, {-1, -1, 0}, {1, 2, 3}};  // [di+1][dj+1]

// Positions by coordinate, node [i][j] at [i][j + 2]; row 45 and the margins are
// zero so the forward lanes of edge nodes read something finite (never used).
constexpr int paddedWidth = gridSize + 7;
alignas(32) float paddedPositions[3][gridSize + 1][paddedWidth];
// Two rows of forward springs, node [i][j] at [i & 1][j + 1].
ForwardSprings forwardRows[2][gridSize + 2];

__attribute__((target("avx2"))) inline void storeInterleaved(float* out, __m256 x, __m256 y, __m256 z) {
    // out = x0 y0 z0 x1 y1 z1 ... x7 y7 z7
    const __m256 x0 = _mm256_permutevar8x32_ps(x, _mm256_setr_epi32(0, 0, 0, 1, 0, 0, 2, 0));
    const __m256 y0 = _mm256_permutevar8x32_ps(y, _mm256_setr_epi32(0, 0, 0, 0, 1, 0, 0, 2));
    const __m256 z0 = _mm256_permutevar8x32_ps(z, _mm256_setr_epi32(0, 0, 0, 0, 0, 1, 0, 0));
    const __m256 x1 = _mm256_permutevar8x32_ps(x, _mm256_setr_epi32(0, 3, 0, 0, 4, 0, 0, 5));
    const __m256 y1 = _mm256_permutevar8x32_ps(y, _mm256_setr_epi32(0, 0, 3, 0, 0, 4, 0, 0));
    const __m256 z1 = _mm256_permutevar8x32_ps(z, _mm256_setr_epi32(2, 0, 0, 3, 0, 0, 4, 0));
    const __m256 x2 = _mm256_permutevar8x32_ps(x, _mm256_setr_epi32(0, 0, 6, 0, 0, 7, 0, 0));
    const __m256 y2 = _mm256_permutevar8x32_ps(y, _mm256_setr_epi32(5, 0, 0, 6, 0, 0, 7, 0));
    const __m256 z2 = _mm256_permutevar8x32_ps(z, _mm256_setr_epi32(0, 5, 0, 0, 6, 0, 0, 7));
    _mm256_storeu_ps(out, _mm256_blend_ps(_mm256_blend_ps(x0, y0, 0x92), z0, 0x24));
    _mm256_storeu_ps(out + 8, _mm256_blend_ps(_mm256_blend_ps(x1, y1, 0x24), z1, 0x49));
    _mm256_storeu_ps(out + 16, _mm256_blend_ps(_mm256_blend_ps(x2, y2, 0x49), z2, 0x92));
}

// The forward springs of node [i][j]: lengths in double, directions divided in float.
__attribute__((target("avx2"))) inline void measureForwardSprings(int i, int j, ForwardSprings& out) {
    __m128 toward[3];
    __m256d squares = _mm256_setzero_pd();
    for (int c = 0; c < 3; ++c) {
        // lanes: [i][j+1], [i+1][j-1], [i+1][j], [i+1][j+1]
        const __m128 below = _mm_loadu_ps(&paddedPositions[c][i + 1][j]);
        const __m128 neighbours = _mm_move_ss(below, _mm_load_ss(&paddedPositions[c][i][j + 3]));
        const __m128 self = _mm_set1_ps(paddedPositions[c][i][j + 2]);
        const __m256d difference = _mm256_cvtps_pd(_mm_sub_ps(self, neighbours));
        squares = c == 0 ? _mm256_mul_pd(difference, difference)
                         : _mm256_add_pd(squares, _mm256_mul_pd(difference, difference));
        toward[c] = _mm_sub_ps(neighbours, self);
    }
    __m128 length = _mm256_cvtpd_ps(_mm256_sqrt_pd(squares));
    length = _mm_blendv_ps(length, _mm_set1_ps(0.00001f), _mm_cmpeq_ps(length, _mm_setzero_ps()));
    _mm_store_ps(out.length, length);
    for (int c = 0; c < 3; ++c) _mm_store_ps(out.direction[c], _mm_div_ps(toward[c], length));
}

// Slots 0-3 of an interior node are the forward springs of [i-1][j-1], [i-1][j],
// [i-1][j+1] and [i][j-1], seen from the other end.
__attribute__((target("avx2"))) inline __m128 backwardLanes(const float* a, const float* b, const float* c,
                                                           const float* d) {
    return _mm_setr_ps(a[3], b[2], c[1], d[0]);
}

__attribute__((target("avx2"))) void completeInteriorNode(ClothParticle& node, const ForwardSprings& upLeft,
                                                          const ForwardSprings& up, const ForwardSprings& upRight,
                                                          const ForwardSprings& left, const ForwardSprings& self,
                                                          __m256 negativeStiffness) {
    const __m256 length = _mm256_set_m128(_mm_load_ps(self.length),
                                          backwardLanes(upLeft.length, up.length, upRight.length, left.length));
    const __m256 rest = _mm256_loadu_ps(node.restLength);
    const __m256 compression = _mm256_sub_ps(rest, length);
    _mm256_storeu_ps(node.springLength, length);
    _mm256_storeu_ps(node.springCompression, compression);
    __m256 direction[3], force[3];
    for (int c = 0; c < 3; ++c) {
        const __m128 backward = _mm_sub_ps(_mm_setzero_ps(), backwardLanes(upLeft.direction[c], up.direction[c],
                                                                            upRight.direction[c], left.direction[c]));
        direction[c] = _mm256_set_m128(_mm_load_ps(self.direction[c]), backward);
        force[c] = _mm256_mul_ps(_mm256_mul_ps(negativeStiffness, direction[c]), compression);
    }
    storeInterleaved(&node.springDirection[0][0], direction[0], direction[1], direction[2]);
    storeInterleaved(&node.springForce[0][0], force[0], force[1], force[2]);
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

// Edge and corner nodes: the same values, one slot at a time.
void completeBorderNode(int i, int j, float stiffness) {
    ClothParticle& node = ClothGrid[i][j];
    NeighbourOffset offsets[8];
    const int count = neighbourOffsets(i, j, offsets);
    for (int s = 0; s < count; ++s) {
        const int di = offsets[s].di, dj = offsets[s].dj;
        const bool forward = forwardLane[di + 1][dj + 1] >= 0;
        const ForwardSprings& springs =
            forward ? forwardRows[i & 1][j + 1] : forwardRows[(i + di) & 1][j + dj + 1];
        const int lane = forward ? forwardLane[di + 1][dj + 1] : forwardLane[1 - di][1 - dj];
        const float length = springs.length[lane];
        node.springLength[s] = length;
        node.springCompression[s] = node.restLength[s] - length;
        for (int c = 0; c < 3; ++c) {
            const float d = forward ? springs.direction[c][lane] : 0.0f - springs.direction[c][lane];
            node.springDirection[s][c] = d;
            node.springForce[s][c] = -stiffness * d * node.springCompression[s];
        }
    }
}

__attribute__((target("avx2"))) void accumulateSpringForcesAvx2(float stiffness, bool addWind) {
    for (int i = 0; i < gridSize; ++i)
        for (int j = 0; j < gridSize; ++j)
            for (int c = 0; c < 3; ++c) paddedPositions[c][i][j + 2] = ClothGrid[i][j].position[c];

    const __m256 negativeStiffness = _mm256_set1_ps(-stiffness);
    for (int i = 0; i < gridSize; ++i) {
        ForwardSprings* row = forwardRows[i & 1] + 1;
        const ForwardSprings* above = forwardRows[(i + 1) & 1] + 1;
        // Measuring the whole row first lets the square roots and divisions of
        // neighbouring nodes overlap.
        for (int j = 0; j < gridSize; ++j) measureForwardSprings(i, j, row[j]);
        for (int j = 0; j < gridSize; ++j) {
            if (i > 0 && i < lastNode && j > 0 && j < lastNode)
                completeInteriorNode(ClothGrid[i][j], above[j - 1], above[j], above[j + 1], row[j - 1], row[j],
                                     negativeStiffness);
            else
                completeBorderNode(i, j, stiffness);
            sumNodeForceVector(ClothGrid[i][j], springCountOf(i, j), addWind);
        }
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
