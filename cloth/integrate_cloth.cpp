#include "cloth/integrate_cloth.h"

#include <cmath>
#include <cstring>

#include "cloth/cloth_grid.h"

void savePinnedNodes() {
    if (!pinsEnabled) return;
    ClothParticle& first = ClothGrid[pinnedI0][pinnedJ];
    ClothParticle& second = ClothGrid[pinnedI1][pinnedJ];
    for (int c = 0; c < 3; ++c) first.force[c] = 0.0f;
    pinnedNodeSaves[0] = first;
    for (int c = 0; c < 3; ++c) second.force[c] = 0.0f;
    pinnedNodeSaves[1] = second;
}

// sqrt is monotonic, so "sqrt(squares) <= collisionRadius" holds exactly when
// squares is at most the largest double whose root rounds to at most the radius.
// Comparing the squares with that bound gives the same answer without a root.
static double largestCollidingSquare() {
    double bound = collisionRadius * collisionRadius;
    while (std::sqrt(bound) > collisionRadius) bound = std::nextafter(bound, 0.0);
    while (std::sqrt(std::nextafter(bound, 10.0)) <= collisionRadius) bound = std::nextafter(bound, 10.0);
    return bound;
}

static inline bool insideCollisionRadius(const float position[3], const float centre[3], double bound) {
    const float dx = position[0] - centre[0];
    const float dy = position[1] - centre[1];
    const float dz = position[2] - centre[2];
    return (double)dx * dx + (double)dy * dy + (double)dz * dz <= bound;
}

// Mirrors the velocity at the sphere's tangent plane under the node's old
// position and slows it by restitution on top of the damping.
static void bounceOffSphere(ClothParticle& node) {
    float* v = node.velocity;
    float speed = (float)std::sqrt((double)v[0] * v[0] + (double)v[1] * v[1] + (double)v[2] * v[2]);
    if (speed == 0.0f) speed = minimumLength;
    const float u[3] = {v[0] / speed, v[1] / speed, v[2] / speed};

    float n[3];
    for (int c = 0; c < 3; ++c) n[c] = node.position[c] - sphereCenter[c];
    float length = (float)std::sqrt((double)n[0] * n[0] + (double)n[1] * n[1] + (double)n[2] * n[2]);
    if (length == 0.0f) length = minimumLength;
    for (int c = 0; c < 3; ++c) n[c] = n[c] / length;

    const float along = u[0] * n[0] + u[1] * n[1] + u[2] * n[2];
    for (int c = 0; c < 3; ++c) {
        const float normalPart = along * n[c];
        const float tangentPart = u[c] - normalPart;
        const float reflected = tangentPart - normalPart;
        v[c] = (float)((double)(reflected * speed * velocityDamping) * restitution);
    }
}

void integrateCloth() {
    static const double collidingSquare = largestCollidingSquare();
    // Locals, so the stores into the records cannot be taken to change them.
    const float mass = particleMass;
    const bool unitMass = mass == 1.0f;
    const float damping = velocityDamping;
    const float g[3] = {gravity[0], gravity[1], gravity[2]};
    const float centre[3] = {sphereCenter[0], sphereCenter[1], sphereCenter[2]};
    ClothParticle* const nodes = &ClothGrid[0][0];
    ClothParticle* const staged = &nextGrid[0][0];
    constexpr int nodeCount = gridSize * gridSize;
    // No node reads another's state here, so each is finished in one visit. Only
    // the new position is staged in nextGrid; the rest of the record carries over.
    for (int n = 0; n < nodeCount; ++n) {
        ClothParticle& node = nodes[n];
        // The records are 636 bytes apart: ask for a later one's lines early.
        if (n + 3 < nodeCount) {
            __builtin_prefetch(nodes[n + 3].position);
            __builtin_prefetch(nodes[n + 3].velocity);
        }
        float velocity[3], next[3];
        for (int c = 0; c < 3; ++c) {
            // x / 1 is exactly x, so the unit mass of the reset needs no division.
            const float acceleration = (unitMass ? node.force[c] : node.force[c] / mass) + g[c];
            node.acceleration[c] = acceleration;
            velocity[c] = (node.velocity[c] + acceleration / 8) * damping;
            next[c] = node.position[c] + velocity[c];
        }
        for (int c = 0; c < 3; ++c) node.velocity[c] = velocity[c];
        if (insideCollisionRadius(next, centre, collidingSquare)) {
            bounceOffSphere(node);
            for (int c = 0; c < 3; ++c) next[c] = node.position[c] + node.velocity[c];
        }
        std::memcpy(staged[n].position, next, sizeof next);
    }
}

void commitNextGrid() {
    for (int i = 0; i < gridSize; ++i) {
        for (int j = 0; j < gridSize; ++j) {
            ClothParticle& node = ClothGrid[i][j];
            for (int c = 0; c < 3; ++c) {
                node.position[c] = nextGrid[i][j].position[c];
                node.force[c] = 0.0f;
                node.acceleration[c] = 0.0f;
            }
        }
    }
    std::memset(nodeNormalSums, 0, sizeof nodeNormalSums);
}

void restorePinnedNodes() {
    if (!pinsEnabled) return;
    ClothGrid[pinnedI0][pinnedJ] = pinnedNodeSaves[0];
    ClothGrid[pinnedI1][pinnedJ] = pinnedNodeSaves[1];
}
