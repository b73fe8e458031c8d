#pragma once
// simulate_frame.h -- the state change of one frame, without drawing.

// accumulateForces, savePinnedNodes, integrateCloth, commitNextGrid,
// restorePinnedNodes, then the smooth normals while smoothNormals is on: exactly
// what drawFrame computes, so headless runs match the program bit for bit.
void simulateClothFrame();

// What the program's keys M, B, Z, N and R do to the cloth, by letter, for
// headless runs (the trace tool, tests): flip the wind, the pins, the smooth
// normals or the normal lines, or reset the sheet. Other letters do nothing.
void applyKey(char key);
