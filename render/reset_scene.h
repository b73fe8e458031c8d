#pragma once
// reset_scene.h -- the cloth back to the flat sheet, then the scene state.

// Needs a current GL context. False when the texture cannot be loaded; the cloth
// and parameters are reset all the same.
bool resetScene();
