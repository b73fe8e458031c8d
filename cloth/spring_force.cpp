#include "cloth/spring_force.h"

#include <cassert>
#include <cmath>

#include "cloth/cloth_grid.h"

void computeSpringForce(int i, int j, int di, int dj, int slot) {
    assert(slot >= 0 && slot < maxSprings && "slot past the record");
    ClothParticle& node = ClothGrid[i][j];
    const ClothParticle& other = ClothGrid[i + di][j + dj];

    const float dx = node.position[0] - other.position[0];
    const float dy = node.position[1] - other.position[1];
    const float dz = node.position[2] - other.position[2];
    const double squares = (double)dx * dx + (double)dy * dy + (double)dz * dz;
    node.springLength[slot] = (float)std::sqrt(squares);

    float* direction = node.springDirection[slot];
    for (int c = 0; c < 3; ++c) direction[c] = other.position[c] - node.position[c];

    // Coincident nodes: a tiny length keeps the division finite, the force zero.
    if (node.springLength[slot] == 0.0f) node.springLength[slot] = 0.00001f;

    for (int c = 0; c < 3; ++c) direction[c] = direction[c] / node.springLength[slot];
    node.springCompression[slot] = node.restLength[slot] - node.springLength[slot];
    for (int c = 0; c < 3; ++c)
        node.springForce[slot][c] = -springStiffness * direction[c] * node.springCompression[slot];
}
