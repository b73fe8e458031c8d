#pragma once
// cloth_reference.h -- a second, deliberately literal implementation of the cloth
// step, sharing nothing with cloth/ but the record type: whole-record copies,
// every spring evaluated from both ends, the node groups in their stated order.
// The production code must match it bit for bit.

#include "cloth/cloth_grid.h"
#include "cloth/cloth_normals.h"

struct ReferenceCloth {
    ClothParticle grid[gridSize][gridSize];
    ClothParticle next[gridSize][gridSize];
    float normals[gridSize][gridSize][3];
    ClothParticle saves[2];
    float spacing, stiffness, damping, mass;
    float gravity[3], wind[3], centre[3];
    bool windOn = false, pinsOn = true, smoothOn = true;
};

void referenceReset(ReferenceCloth& cloth);   // parameters, sheet, rest lengths
void referenceFrame(ReferenceCloth& cloth);   // one frame, normals included
// Sums and normalises cloth.normals; with lineEnds, the normal lines' far ends.
void referenceSmoothNormals(ReferenceCloth& cloth, float (*lineEnds)[cellCount][3]);
