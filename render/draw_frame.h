#pragma once
// draw_frame.h -- one simulation step, drawn.

// Clears, places camera and light, runs the step of the cloth with the sphere
// drawn between its halves, then draws the cloth (smooth or faceted normals) and,
// with showNormals, the smooth normal lines. The cloth calls are the ones
// simulateClothFrame makes, in its order, so the picture shows the very state a
// headless run computes. Needs a current context set up by resetScene. Always true.
bool drawFrame();

// The old context's display lists are gone when the window is re-created: call
// this after a new context is made current so the sphere is compiled again.
void forgetContextObjects();
