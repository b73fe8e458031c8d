#include "render/scene_state.h"

float lightPosition[4] = {0.0f, 0.0f, 0.0f, 1.0f};

bool setUpSceneState() { return true; }
