#pragma once
// draw_frame.h -- one simulation step, drawn.

// Needs a current context set up by resetScene. Always true.
bool drawFrame();

// The old context's display lists are gone when the window is re-created: call
// this after a new context is made current so the sphere is compiled again.
void forgetContextObjects();
