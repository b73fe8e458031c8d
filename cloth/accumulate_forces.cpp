#include "cloth/accumulate_forces.h"

#include <cmath>

#include "cloth/cloth_grid.h"
#include "cloth/simd_avx2.h"
#include "cloth/wind_force.h"

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
        if (i < lastNode) computeWindForcesOfRow(i);
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

// The vector path measures springs eight nodes at a time along j, one neighbour
// direction per pass: toward (0,+1), (+1,-1), (+1,0) and (+1,+1) from every
// node. A node's eight directions in the interior slot order are then lanes 0-3
// (-1,-1), (-1,0), (-1,+1), (0,-1), measured by those neighbours and negated,
// and lanes 4-7, measured by the node itself. A border node's slots are the
// valid lanes in the same order.

enum Direction { east, southWest, south, southEast, directionCount };  // (0,+1) (+1,-1) (+1,0) (+1,+1)
constexpr int directionDi[directionCount] = {0, 1, 1, 1};
constexpr int directionDj[directionCount] = {1, -1, 0, 1};

// Positions by coordinate, node [i][j] at [i][j + columnOffset]. Row 45 and the
// margins stay zero, so lanes that point outside the grid read finite values;
// what they compute never reaches a record.
constexpr int columnOffset = 8;
constexpr int paddedWidth = 64;
constexpr int blockCount = (gridSize + 7) / 8;
alignas(32) float paddedPositions[3][gridSize + 1][paddedWidth];

// Forward springs of the last two rows: [direction][length, x, y, z][i & 1][j + columnOffset].
alignas(32) float measured[directionCount][4][2][paddedWidth];

struct BorderCase {
    int lanes[8];
    int count;
};
// Lanes that are a border node's slots, in slot order; index by row case * 3 +
// column case, where case 0 is the first index, 1 inner and 2 the last.
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

// Springs from nodes [i][j0 .. j0+7] toward one direction: lengths in double
// (squares and their sum), directions divided in float.
__attribute__((target("avx2"))) void measureBlock(int i, int j0, Direction d) {
    const int column = j0 + columnOffset;
    __m256 difference[3], toward[3];
    for (int c = 0; c < 3; ++c) {
        const __m256 self = _mm256_load_ps(&paddedPositions[c][i][column]);
        const __m256 other = _mm256_loadu_ps(&paddedPositions[c][i + directionDi[d]][column + directionDj[d]]);
        difference[c] = _mm256_sub_ps(self, other);
        toward[c] = _mm256_sub_ps(other, self);
    }
    __m256 length = lengthOf(difference[0], difference[1], difference[2]);
    length = _mm256_blendv_ps(length, _mm256_set1_ps(0.00001f), _mm256_cmp_ps(length, _mm256_setzero_ps(), _CMP_EQ_OQ));
    float (*out)[2][paddedWidth] = measured[d];
    _mm256_store_ps(&out[0][i & 1][column], length);
    for (int c = 0; c < 3; ++c) _mm256_store_ps(&out[1 + c][i & 1][column], _mm256_div_ps(toward[c], length));
}

// The eight slot vectors of quantity q (0 length, 1-3 direction) for nodes
// [i][j0 .. j0+7], lanes = nodes; the first four from the neighbours' side.
__attribute__((target("avx2"))) inline void slotVectors(int i, int j0, int q, __m256 slots[8]) {
    const int column = j0 + columnOffset;
    const int here = i & 1, above = (i + 1) & 1;
    slots[0] = _mm256_loadu_ps(&measured[southEast][q][above][column - 1]);
    slots[1] = _mm256_loadu_ps(&measured[south][q][above][column]);
    slots[2] = _mm256_loadu_ps(&measured[southWest][q][above][column + 1]);
    slots[3] = _mm256_loadu_ps(&measured[east][q][here][column - 1]);
    slots[4] = _mm256_load_ps(&measured[east][q][here][column]);
    slots[5] = _mm256_load_ps(&measured[southWest][q][here][column]);
    slots[6] = _mm256_load_ps(&measured[south][q][here][column]);
    slots[7] = _mm256_load_ps(&measured[southEast][q][here][column]);
    if (q > 0)
        for (int k = 0; k < 4; ++k) slots[k] = _mm256_sub_ps(_mm256_setzero_ps(), slots[k]);
}

// One node's fields from its eight lanes: length, and the directions already
// interleaved (x0 y0 z0 x1 ... in three vectors). A border node keeps only its
// slots, in order; slots past its count are never written.
__attribute__((target("avx2"))) inline void completeNode(ClothParticle& node, __m256 length,
                                                         const __m256 interleaved[3], const BorderCase& border,
                                                         __m256 negativeStiffness) {
    __m256 direction[3] = {interleaved[0], interleaved[1], interleaved[2]};
    if (border.count < 8) {
        const __m256i lanes = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(border.lanes));
        __m256 x, y, z;
        deinterleave(direction, x, y, z);
        length = _mm256_permutevar8x32_ps(length, lanes);
        interleave(_mm256_permutevar8x32_ps(x, lanes), _mm256_permutevar8x32_ps(y, lanes),
                   _mm256_permutevar8x32_ps(z, lanes), direction);
    }
    const __m256 compression = _mm256_sub_ps(_mm256_loadu_ps(node.restLength), length);
    __m256 compressions[3], force[3];
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
    if (springCount == 8) {  // interior nodes, spelled out
        for (int s = 0; s < 8; ++s) total = _mm_add_ps(total, _mm_loadu_ps(node.springForce[s]));
    } else {
        for (int s = 0; s < springCount; ++s) total = _mm_add_ps(total, _mm_loadu_ps(node.springForce[s]));
    }
    if (addWind) total = _mm_add_ps(total, _mm_loadu_ps(node.windForce));
    _mm_storeu_ps(node.force, _mm_blend_ps(total, start, 0x8));
}

__attribute__((target("avx2"))) void accumulateSpringForcesAvx2(float stiffness, bool addWind) {
    for (int i = 0; i < gridSize; ++i)
        for (int j = 0; j < gridSize; ++j)
            for (int c = 0; c < 3; ++c) paddedPositions[c][i][j + columnOffset] = ClothGrid[i][j].position[c];

    const __m256 negativeStiffness = _mm256_set1_ps(-stiffness);
    for (int i = 0; i < gridSize; ++i) {
        if (i < lastNode) computeWindForcesOfRow(i);
        // The whole row is measured first so the roots and divisions overlap.
        for (int d = 0; d < directionCount; ++d)
            for (int block = 0; block < blockCount; ++block) measureBlock(i, 8 * block, Direction(d));
        const int rowCase = edgeCase(i) * 3;
        for (int block = 0; block < blockCount; ++block) {
            const int j0 = 8 * block;
            // Lengths by slot, then transposed: lanes = one node's slots.
            __m256 lengths[8];
            slotVectors(i, j0, 0, lengths);
            transpose8(lengths);
            // Directions as rows 3k + c (slot k, coordinate c): each group of
            // eight rows transposes into eight consecutive floats of every
            // node's interleaved springDirection.
            __m256 coordinates[3][8], rows[24];
            for (int c = 0; c < 3; ++c) slotVectors(i, j0, 1 + c, coordinates[c]);
            for (int k = 0; k < 8; ++k)
                for (int c = 0; c < 3; ++c) rows[3 * k + c] = coordinates[c][k];
            for (int group = 0; group < 3; ++group) transpose8(rows + 8 * group);
            for (int n = 0; n < 8 && j0 + n < gridSize; ++n) {
                const __m256 interleaved[3] = {rows[n], rows[8 + n], rows[16 + n]};
                completeNode(ClothGrid[i][j0 + n], lengths[n], interleaved, borderCases[rowCase + edgeCase(j0 + n)],
                             negativeStiffness);
            }
        }
        // Summed once the row's stores have settled.
        for (int j = 0; j < gridSize; ++j)
            sumNodeForceVector(ClothGrid[i][j], borderCases[rowCase + edgeCase(j)].count, addWind);
    }
}

}  // namespace

#endif

void accumulateForces() {
    // The wind pass runs row by row inside the spring pass, while each row's
    // records are in cache; every row is done before its sums read it.
    const float stiffness = springStiffness;
    const bool addWind = windEnabled != 0;
#ifdef CLOTH_HAVE_AVX2_PATH
    if (haveAvx2()) {
        accumulateSpringForcesAvx2(stiffness, addWind);
        return;
    }
#endif
    accumulateSpringForcesScalar(stiffness, addWind);
}
