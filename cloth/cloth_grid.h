#pragma once
// cloth_grid.h -- the node record, the two grids, the simulation parameters and
// flags, and the reset of the sheet. Everything here is global and static; no GL.

#include <cstddef>

constexpr int gridSize = 45;        // nodes per side
constexpr int lastNode = gridSize - 1;
constexpr int maxSprings = 16;      // slots per record; a node uses at most 8

// One cloth node: 159 floats in this order and nothing else. Code outside cloth/
// (and tests) may address fields by float index, so the layout is fixed.
struct ClothParticle {
    float position[3];
    float springForce[maxSprings][3];     // force of the spring in slot s on this node
    float springDirection[maxSprings][3]; // unit vector toward the slot's neighbour
    float velocity[3];                    // world units per step
    float force[3];                       // total force of the current step
    float acceleration[3];
    float windForce[3];
    float restLength[maxSprings];
    float springLength[maxSprings];
    float springCompression[maxSprings];  // rest length minus current length
};
static_assert(sizeof(ClothParticle) == 159 * sizeof(float), "ClothParticle must be 159 packed floats");
static_assert(offsetof(ClothParticle, velocity) == 99 * sizeof(float), "velocity at float 99");
static_assert(offsetof(ClothParticle, restLength) == 111 * sizeof(float), "restLength at float 111");
static_assert(offsetof(ClothParticle, springCompression) == 143 * sizeof(float), "compression at float 143");

extern ClothParticle ClothGrid[gridSize][gridSize];   // the live cloth, [i][j]
// The integration's next-state buffer. Only what the copy-back needs, the new
// position, is staged here (the velocity is updated in the live record); the
// other fields of these records are not kept up to date.
extern ClothParticle nextGrid[gridSize][gridSize];
// Per-node normals: filled by the frame's normal pass, read by the next frame's
// wind pass, cleared by commitNextGrid.
extern float nodeNormalSums[gridSize][gridSize][3];
// Whole records of the pinned nodes: [0] is node [39][44], [1] is node [5][44].
extern ClothParticle pinnedNodeSaves[2];

constexpr int pinnedI0 = 39;   // pinnedNodeSaves[0]
constexpr int pinnedI1 = 5;    // pinnedNodeSaves[1]
constexpr int pinnedJ = lastNode;

// Simulation parameters, set by resetClothSheet.
extern float gridSpacing;      // 0.2: spacing of the flat sheet
extern float springStiffness;  // 2.5
extern float velocityDamping;  // 0.991 per step
extern float particleMass;     // 1.0
extern float gravity[3];       // (0, 0.2 * -0.6 / 44, 0), per step
extern float windVector[3];    // (0.01, 0, 0.015)
extern float sphereCenter[3];  // (0, 0, -10)

// Switches, one byte each, nonzero meaning on; a reset leaves them alone.
extern unsigned char windEnabled;    // off at start; key M
extern unsigned char pinsEnabled;    // on at start; key B
extern unsigned char smoothNormals;  // on at start; key Z (off also starves the wind)
extern unsigned char showNormals;    // off at start; key N

// Neighbour offsets of node [i][j] in slot order (di outer, dj inner, both
// ascending, (0,0) skipped, only neighbours inside the grid). Returns the count.
struct NeighbourOffset {
    int di, dj;
};
int neighbourOffsets(int i, int j, NeighbourOffset out[8]);

// The GL-free part of resetScene: parameters, the flat sheet at rest, and every
// spring's rest length from the positions just laid out. Touches nothing else.
void resetClothSheet();

// Every record, table and parameter back to zero and the switches to their
// program-start values: the state before the first reset.
void clearClothState();
