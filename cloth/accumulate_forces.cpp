#include "cloth/accumulate_forces.h"

#include <cmath>

#include "cloth/cloth_grid.h"
#include "cloth/wind_force.h"

// The slot node [i][j] gives its neighbour at (di, dj): the count of neighbours
// visited before it (di outer, dj inner, ascending, (0,0) skipped).
static inline int slotOf(int i, int j, int di, int dj) {
    const int diFirst = i > 0 ? -1 : 0;
    const int djFirst = j > 0 ? -1 : 0;
    const int djCount = (j < lastNode ? 1 : 0) - djFirst + 1;
    const int visited = (di - diFirst) * djCount + (dj - djFirst);
    return (di > 0 || (di == 0 && dj > 0)) ? visited - 1 : visited;
}

// Both ends of one spring. Each end's own evaluation would measure the same
// length (the differences only change sign) and a direction that is exactly the
// negated one, except that equal coordinates give +0 at both ends; 0 - d keeps
// that. Compression and force are formed per end from its own rest length.
static inline void evaluateSpring(ClothParticle& p, int slotP, ClothParticle& q, int slotQ,
                                  float stiffness) {
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

static inline void sumNodeForce(ClothParticle& node, int springCount, bool addWind) {
    for (int c = 0; c < 3; ++c) {
        float total = node.force[c];
        for (int s = 0; s < springCount; ++s) total = total + node.springForce[s][c];
        if (addWind) total = total + node.windForce[c];
        node.force[c] = total;
    }
}

void accumulateForces() {
    computeWindForces();
    const float stiffness = springStiffness;
    const bool addWind = windEnabled != 0;
    // Each spring is measured once, from its lower-numbered end, toward the
    // neighbours (0,+1), (+1,-1), (+1,0), (+1,+1). A node is complete once its
    // own forward springs are done, so its slots are summed while still in cache.
    for (int i = 0; i < gridSize; ++i) {
        for (int j = 0; j < gridSize; ++j) {
            ClothParticle& node = ClothGrid[i][j];
            if (j < lastNode)
                evaluateSpring(node, slotOf(i, j, 0, 1), ClothGrid[i][j + 1], slotOf(i, j + 1, 0, -1),
                               stiffness);
            if (i < lastNode) {
                if (j > 0)
                    evaluateSpring(node, slotOf(i, j, 1, -1), ClothGrid[i + 1][j - 1],
                                   slotOf(i + 1, j - 1, -1, 1), stiffness);
                evaluateSpring(node, slotOf(i, j, 1, 0), ClothGrid[i + 1][j], slotOf(i + 1, j, -1, 0),
                               stiffness);
                if (j < lastNode)
                    evaluateSpring(node, slotOf(i, j, 1, 1), ClothGrid[i + 1][j + 1],
                                   slotOf(i + 1, j + 1, -1, -1), stiffness);
            }
            const int springCount = (i > 0 && i < lastNode ? 3 : 2) * (j > 0 && j < lastNode ? 3 : 2) - 1;
            sumNodeForce(node, springCount, addWind);
        }
    }
}
