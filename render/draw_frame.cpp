#include "render/draw_frame.h"

#include <GL/gl.h>

#include "cloth/accumulate_forces.h"
#include "cloth/cloth_grid.h"
#include "cloth/cloth_normals.h"
#include "cloth/integrate_cloth.h"
#include "render/camera.h"
#include "render/scene_state.h"
#include "render/solid_sphere.h"

// The drawn radius; the collision test uses a slightly larger one so the cloth
// rests just off the surface.
constexpr double sphereRadius = 1.5;
constexpr float textureCoordDivisor = 44.0f;
constexpr int cellsPerFrame = cellCount * cellCount;
constexpr int cornersPerFrame = cellsPerFrame * 4;
static_assert(gridSize * gridSize <= 65536, "node numbers must fit GLushort");

// Everything a frame sends is staged in these fixed arrays: no heap in a frame.
// Cells are visited j outer, i inner; corners in the order P00, P10, P11, P01
// (clockwise from +y, the front side).
static GLushort cornerNodeIndices[cornersPerFrame];  // a * gridSize + b of corner node [a][b]
static float cornerTexCoords[cornersPerFrame][2];    // node [a][b] -> (a / 44, b / 44)
static float cornerPositions[cornersPerFrame][3];
static float cornerNormals[cornersPerFrame][3];
static float normalLineEnds[cellCount][cellCount][3];
static float normalLineVertices[cellsPerFrame * 2][3];
static bool tablesFilled = false;

static void fillStaticTables() {
    const int cornerDi[4] = {0, 1, 1, 0};
    const int cornerDj[4] = {0, 0, 1, 1};
    int k = 0;
    for (int j = 0; j < cellCount; ++j) {
        for (int i = 0; i < cellCount; ++i) {
            for (int c = 0; c < 4; ++c, ++k) {
                const int a = i + cornerDi[c];
                const int b = j + cornerDj[c];
                cornerNodeIndices[k] = (GLushort)(a * gridSize + b);
                cornerTexCoords[k][0] = (float)a / textureCoordDivisor;
                cornerTexCoords[k][1] = (float)b / textureCoordDivisor;
            }
        }
    }
    tablesFilled = true;
}

static void copyPosition(const float from[3], float to[3]) {
    to[0] = from[0];
    to[1] = from[1];
    to[2] = from[2];
}

// Lit, untextured, with whatever normal is current (the sphere's last one).
static void drawNormalLines() {
    int v = 0;
    for (int j = 0; j < cellCount; ++j) {
        for (int i = 0; i < cellCount; ++i) {
            copyPosition(ClothGrid[i + 1][j].position, normalLineVertices[v++]);
            copyPosition(normalLineEnds[j][i], normalLineVertices[v++]);
        }
    }
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, normalLineVertices);
    glDrawArrays(GL_LINES, 0, v);
    glDisableClientState(GL_VERTEX_ARRAY);
}

// Corners are sent unshared, cell by cell, in both schemes: drawn from shared,
// indexed vertices llvmpipe shades some far, grazing quads a shade differently
// from quads drawn one by one, and the picture must not depend on the scheme.
static void stageCornerPositions() {
    for (int k = 0; k < cornersPerFrame; ++k) {
        const int node = cornerNodeIndices[k];
        copyPosition(ClothGrid[node / gridSize][node % gridSize].position, cornerPositions[k]);
    }
}

static void stageSmoothCornerNormals() {
    for (int k = 0; k < cornersPerFrame; ++k) {
        const int node = cornerNodeIndices[k];
        copyPosition(nodeNormalSums[node / gridSize][node % gridSize], cornerNormals[k]);
    }
}

static void stageFacetedCornerNormals() {
    int k = 0;
    for (int j = 0; j < cellCount; ++j)
        for (int i = 0; i < cellCount; ++i, k += 4) cellCornerNormals(i, j, &cornerNormals[k]);
}

static void drawClothCorners() {
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, cornerPositions);
    glNormalPointer(GL_FLOAT, 0, cornerNormals);
    glTexCoordPointer(2, GL_FLOAT, 0, cornerTexCoords);
    glDrawArrays(GL_QUADS, 0, cornersPerFrame);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
}

bool drawFrame() {
    if (!tablesFilled) fillStaticTables();

    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    glRotatef(Camera.pitch, 1.0f, 0.0f, 0.0f);
    glRotatef(Camera.yaw, 0.0f, 1.0f, 0.0f);
    glColor3ub(255, 255, 255);
    glTranslatef(Camera.x, Camera.y, Camera.z);

    // Over the centre of the sheet as laid out, fixed in the scene as the camera moves.
    glPushMatrix();
    glTranslatef(0.0f, 22.0f * gridSpacing, -44.0f * gridSpacing);
    glLightfv(GL_LIGHT0, GL_POSITION, lightPosition);
    glPopMatrix();

    accumulateForces();
    savePinnedNodes();

    // Red only while lighting is off: lit, the sphere shows the default material.
    glColor3f(1.0f, 0.0f, 0.0f);
    glPushMatrix();
    glTranslatef(sphereCenter[0], sphereCenter[1], sphereCenter[2]);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    drawSolidSphere(sphereRadius);
    glPopMatrix();

    integrateCloth();
    commitNextGrid();
    restorePinnedNodes();

    glColor3f(1.0f, 1.0f, 1.0f);
    if (smoothNormals) {
        // These normals are also what the next frame's wind pushes along.
        sumSmoothNormals(showNormals ? normalLineEnds : nullptr);
        normaliseNodeNormals();
        if (showNormals) drawNormalLines();
        stageSmoothCornerNormals();
    } else {
        stageFacetedCornerNormals();
    }
    stageCornerPositions();
    glEnable(GL_TEXTURE_2D);
    drawClothCorners();
    glDisable(GL_TEXTURE_2D);
    return true;
}

void forgetContextObjects() { clearShapeLists(); }
