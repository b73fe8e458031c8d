#pragma once
// wind_force.h -- the wind pass: one force per node from last frame's normals.

struct Vector3 {
    float x, y, z;
};

// Single-precision dot product, summed x, y, z left to right.
float dotProduct(Vector3 a, Vector3 b);

// Writes windForce of every node with i <= 43 and j <= 43 from nodeNormalSums and
// windVector; nodes of row 44 and column 44 are never written.
void computeWindForces();

// The same for row i (0 .. 43) alone: rows depend on nothing but nodeNormalSums,
// so the force pass may run them one at a time, each just before its sums.
void computeWindForcesOfRow(int i);
