#pragma once
// cloth_normals.h -- the cloth's shading normals, worked out without GL.

#include "cloth/cloth_grid.h"

constexpr float normalLineScale = 4.0f;  // normal lines are 4 grid spacings per unit of sum
constexpr int cellCount = gridSize - 1;  // cells per side

// Sums the two unnormalised triangle normals of every cell into nodeNormalSums,
// cells with j outer and i inner. When lineEnds is not null, lineEnds[j][i]
// receives the far end of node [i+1][j]'s normal line, taken from that node's
// partial sum right after cell (i, j): drawing gets it without a second pass.
void sumSmoothNormals(float (*lineEnds)[cellCount][3]);

// Scales every node's sum to unit length. A sum of length 0 (a folded cloth)
// stays the zero vector instead of becoming NaN.
void normaliseNodeNormals();

// The four corner normals of cell (i, j) for faceted shading, unit length, in the
// drawing order P00, P10, P11, P01; a zero-length one stays zero.
void cellCornerNormals(int i, int j, float normals[4][3]);
