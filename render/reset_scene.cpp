#include "render/reset_scene.h"

#include "cloth/cloth_grid.h"
#include "render/scene_state.h"

bool resetScene() {
    resetClothSheet();
    return setUpSceneState();
}
