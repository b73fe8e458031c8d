#pragma once
// simulate_frame.h -- the state change of one frame, without drawing.

// accumulateForces, savePinnedNodes, integrateCloth, commitNextGrid,
// restorePinnedNodes, then the smooth normals while smoothNormals is on: exactly
// what drawFrame computes, so headless runs match the program bit for bit.
void simulateClothFrame();
