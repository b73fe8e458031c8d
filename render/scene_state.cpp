#include "render/scene_state.h"

#include <GL/gl.h>

#include "image/texture_loading.h"

float lightPosition[4] = {0.0f, 0.0f, 0.0f, 1.0f};

bool setUpSceneState() {
    glShadeModel(GL_SMOOTH);
    glClearColor(0.0f, 0.0f, 0.0f, 0.5f);
    glClearDepth(1.0);
    glEnable(GL_DEPTH_TEST);
    // LEQUAL: a primitive drawn later at the same depth wins.
    glDepthFunc(GL_LEQUAL);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
    // The cloth's corners run clockwise seen from the side its normals point to.
    glFrontFace(GL_CW);

    if (!loadTextures()) return false;

    const float lightDiffuse[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    const float lightSpecular[4] = {1.0f, 1.0f, 0.0f, 1.0f};  // yellow highlights
    const float materialSpecular[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    const float materialShininess[1] = {50.0f};
    glLightfv(GL_LIGHT0, GL_DIFFUSE, lightDiffuse);
    // Placed here through whatever matrix is current; every frame places it again.
    glLightfv(GL_LIGHT0, GL_POSITION, lightPosition);
    glLightfv(GL_LIGHT0, GL_SPECULAR, lightSpecular);
    glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, materialSpecular);
    glMaterialfv(GL_FRONT_AND_BACK, GL_SHININESS, materialShininess);
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    return true;
}
