#include "cloth/cloth_grid.h"

ClothParticle ClothGrid[gridSize][gridSize];
ClothParticle nextGrid[gridSize][gridSize];
float nodeNormalSums[gridSize][gridSize][3];
ClothParticle pinnedNodeSaves[2];
float gridSpacing, springStiffness, velocityDamping, particleMass;
float gravity[3], windVector[3], sphereCenter[3];
unsigned char windEnabled = 0, pinsEnabled = 1, smoothNormals = 1, showNormals = 0;

int neighbourOffsets(int, int, NeighbourOffset[8]) { return 0; }
void resetClothSheet() {}
void clearClothState() {}
