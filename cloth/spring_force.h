#pragma once
// spring_force.h -- one spring evaluated from one end.

// Measures the spring between node [i][j] and node [i+di][j+dj] and stores its
// length, direction, compression and force in slot `slot` of node [i][j] only.
// The caller guarantees the neighbour lies inside the grid.
void computeSpringForce(int i, int j, int di, int dj, int slot);
