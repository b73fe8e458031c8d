#pragma once
// scene_state.h -- the GL state all drawing relies on: shading, depth, light,
// material and the cloth texture. Needs a current context.

extern float lightPosition[4];  // (0, 0, 0, 1); re-given inside a translation every frame

// False when the texture cannot be loaded; the light and material are then not set.
bool setUpSceneState();
