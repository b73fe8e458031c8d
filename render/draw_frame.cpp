#include "render/draw_frame.h"

#include <GL/gl.h>

#include "cloth/simulate_frame.h"

bool drawFrame() {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    simulateClothFrame();
    return true;
}

void forgetContextObjects() {}
