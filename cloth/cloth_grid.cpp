#include "cloth/cloth_grid.h"

#include <cmath>
#include <cstring>

#include "cloth/cloth_normals.h"

ClothParticle ClothGrid[gridSize][gridSize];
ClothParticle nextGrid[gridSize][gridSize];
float nodeNormalSums[gridSize][gridSize][3];
ClothParticle pinnedNodeSaves[2];

float gridSpacing;
float springStiffness;
float velocityDamping;
float particleMass;
float gravity[3];
float windVector[3];
float sphereCenter[3];

unsigned char windEnabled = 0;
unsigned char pinsEnabled = 1;
unsigned char smoothNormals = 1;
unsigned char showNormals = 0;

int neighbourOffsets(int i, int j, NeighbourOffset out[8]) {
    int count = 0;
    for (int di = (i > 0 ? -1 : 0); di <= (i < lastNode ? 1 : 0); ++di) {
        for (int dj = (j > 0 ? -1 : 0); dj <= (j < lastNode ? 1 : 0); ++dj) {
            if (di == 0 && dj == 0) continue;
            out[count++] = {di, dj};
        }
    }
    return count;
}

static void setRestLengths(int i, int j) {
    ClothParticle& node = ClothGrid[i][j];
    NeighbourOffset offsets[8];
    const int count = neighbourOffsets(i, j, offsets);
    for (int s = 0; s < count; ++s) {
        const ClothParticle& other = ClothGrid[i + offsets[s].di][j + offsets[s].dj];
        const float dx = node.position[0] - other.position[0];
        const float dy = node.position[1] - other.position[1];
        const float dz = node.position[2] - other.position[2];
        const double squares = (double)dx * dx + (double)dy * dy + (double)dz * dz;
        node.springLength[s] = (float)std::sqrt(squares);
        node.restLength[s] = node.springLength[s];
    }
}

void resetClothSheet() {
    sphereCenter[0] = 0.0f;
    sphereCenter[1] = 0.0f;
    sphereCenter[2] = -10.0f;
    gridSpacing = 0.2f;
    springStiffness = 2.5f;
    velocityDamping = 0.991f;
    particleMass = 1.0f;
    gravity[0] = 0.0f;
    gravity[1] = (float)((double)gridSpacing * -0.6 / 44);
    gravity[2] = 0.0f;
    windVector[0] = 0.01f;
    windVector[1] = 0.0f;
    windVector[2] = 0.015f;

    const double s = gridSpacing;
    for (int i = 0; i < gridSize; ++i) {
        for (int j = 0; j < gridSize; ++j) {
            ClothParticle& node = ClothGrid[i][j];
            node.position[0] = (float)(i * s - 22 * s);
            node.position[1] = (float)(44 * s / 2);
            node.position[2] = (float)(j * s - 44 * s / 2 - 44 * s);
            for (int c = 0; c < 3; ++c) {
                node.velocity[c] = 0.0f;
                node.force[c] = 0.0f;
            }
        }
    }

    // Each node's rest lengths depend only on positions, so the order of the
    // cases does not matter; interior, edges, then corners.
    for (int i = 1; i < lastNode; ++i)
        for (int j = 1; j < lastNode; ++j) setRestLengths(i, j);
    for (int i = 1; i < lastNode; ++i) setRestLengths(i, 0);
    for (int i = 1; i < lastNode; ++i) setRestLengths(i, lastNode);
    for (int j = 1; j < lastNode; ++j) setRestLengths(0, j);
    for (int j = 1; j < lastNode; ++j) setRestLengths(lastNode, j);
    setRestLengths(0, 0);
    setRestLengths(lastNode, 0);
    setRestLengths(0, lastNode);
    setRestLengths(lastNode, lastNode);
}

void clearClothState() {
    std::memset(ClothGrid, 0, sizeof ClothGrid);
    std::memset(nextGrid, 0, sizeof nextGrid);
    std::memset(nodeNormalSums, 0, sizeof nodeNormalSums);
    std::memset(pinnedNodeSaves, 0, sizeof pinnedNodeSaves);
    gridSpacing = springStiffness = velocityDamping = particleMass = 0.0f;
    for (int c = 0; c < 3; ++c) gravity[c] = windVector[c] = sphereCenter[c] = 0.0f;
    windEnabled = 0;
    pinsEnabled = 1;
    smoothNormals = 1;
    showNormals = 0;
}
