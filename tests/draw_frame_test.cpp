#include "render/draw_frame.h"

#include <GL/gl.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "cloth/cloth_grid.h"
#include "cloth/cloth_normals.h"
#include "cloth/simulate_frame.h"
#include "render/camera.h"
#include "render/reset_scene.h"
#include "render/scene_state.h"
#include "render/solid_sphere.h"
#include "tests/render_test_support.h"

constexpr float lightTolerance = 1e-4f;

// Where the sphere (centre (0, 0, -10), radius 1.5) lands with the start camera.
constexpr int sphereCentreX = windowWidth / 2;
constexpr int sphereCentreY = windowHeight / 2;
constexpr int sphereScreenRadius = 80;

// Looks down on the sheet from above its near edge, so lines standing on it show.
static void lookDownOnTheSheet() {
    Camera.pitch = 10.0f;
    Camera.y = -6.0f;
}

static Rgb brightestBlueOnSphere(const Picture& picture) {
    Rgb best{0, 0, 0};
    for (int y = sphereCentreY - sphereScreenRadius; y <= sphereCentreY + sphereScreenRadius; ++y) {
        for (int x = sphereCentreX - sphereScreenRadius; x <= sphereCentreX + sphereScreenRadius; ++x) {
            const Rgb p = picture.pixelAt(x, y);
            if (p.b > best.b) best = p;
        }
    }
    return best;
}

// Counts pixels in rows [fromY, toY) and columns [fromX, toX) where the channel
// is at least minimum and the other two are at most a quarter of it.
static int pixelsDominatedBy(const Picture& picture, int channel, int minimum, int fromX, int toX,
                             int fromY, int toY) {
    int count = 0;
    for (int y = fromY; y < toY; ++y) {
        for (int x = fromX; x < toX; ++x) {
            const Rgb p = picture.pixelAt(x, y);
            const int c[3] = {p.r, p.g, p.b};
            if (c[channel] >= minimum && 4 * c[(channel + 1) % 3] <= c[channel] &&
                4 * c[(channel + 2) % 3] <= c[channel])
                ++count;
        }
    }
    return count;
}

// The normal lines the slow, obvious way: the triangle normals summed cell by
// cell, and right after each cell a line from node [i+1][j] along its sum so
// far, lit with whatever normal is current.
static void drawNormalLinesImmediately() {
    static float sums[gridSize][gridSize][3];
    std::memset(sums, 0, sizeof sums);
    const auto add = [](float* sum, const float* a, const float* b, const float* c, const float* d) {
        const float u[3] = {a[0] - b[0], a[1] - b[1], a[2] - b[2]};
        const float v[3] = {c[0] - d[0], c[1] - d[1], c[2] - d[2]};
        sum[0] = sum[0] + (u[1] * v[2] - u[2] * v[1]);
        sum[1] = sum[1] + (u[2] * v[0] - u[0] * v[2]);
        sum[2] = sum[2] + (u[0] * v[1] - u[1] * v[0]);
    };
    for (int j = 0; j < cellCount; ++j) {
        for (int i = 0; i < cellCount; ++i) {
            const float* p00 = ClothGrid[i][j].position;
            const float* p10 = ClothGrid[i + 1][j].position;
            const float* p11 = ClothGrid[i + 1][j + 1].position;
            const float* p01 = ClothGrid[i][j + 1].position;
            for (float* sum : {sums[i + 1][j], sums[i][j], sums[i + 1][j + 1]}) add(sum, p10, p00, p00, p11);
            for (float* sum : {sums[i][j + 1], sums[i][j], sums[i + 1][j + 1]}) add(sum, p01, p11, p11, p00);
            const float* sum = sums[i + 1][j];
            glBegin(GL_LINES);
            glVertex3fv(p10);
            glVertex3f(4.0f * sum[0] * gridSpacing + p10[0], 4.0f * sum[1] * gridSpacing + p10[1],
                       4.0f * sum[2] * gridSpacing + p10[2]);
            glEnd();
        }
    }
}

// The same scene drawn the slow, obvious way: one glBegin/glEnd per cell in
// immediate mode, from the state the last drawFrame left, without a step.
static void drawSceneImmediately() {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    glRotatef(Camera.pitch, 1.0f, 0.0f, 0.0f);
    glRotatef(Camera.yaw, 0.0f, 1.0f, 0.0f);
    glTranslatef(Camera.x, Camera.y, Camera.z);
    glPushMatrix();
    glTranslatef(0.0f, 22.0f * gridSpacing, -44.0f * gridSpacing);
    glLightfv(GL_LIGHT0, GL_POSITION, lightPosition);
    glPopMatrix();
    glPushMatrix();
    glTranslatef(sphereCenter[0], sphereCenter[1], sphereCenter[2]);
    drawSolidSphere(1.5);
    glPopMatrix();
    if (smoothNormals && showNormals) drawNormalLinesImmediately();
    const int cornerI[4] = {0, 1, 1, 0};
    const int cornerJ[4] = {0, 0, 1, 1};
    for (int j = 0; j < cellCount; ++j) {
        for (int i = 0; i < cellCount; ++i) {
            float corners[4][3];
            if (!smoothNormals) cellCornerNormals(i, j, corners);
            glEnable(GL_TEXTURE_2D);
            glBegin(GL_QUADS);
            for (int c = 0; c < 4; ++c) {
                const int a = i + cornerI[c];
                const int b = j + cornerJ[c];
                glNormal3fv(smoothNormals ? nodeNormalSums[a][b] : corners[c]);
                glTexCoord2f((float)a / 44.0f, (float)b / 44.0f);
                glVertex3fv(ClothGrid[a][b].position);
            }
            glEnd();
        }
    }
    glDisable(GL_TEXTURE_2D);
}

class DrawFrame : public GlTest {
protected:
    void SetUp() override {
        GlTest::SetUp();
        ASSERT_TRUE(resetScene());
    }
    void runFrames(int frames) {
        for (int f = 0; f < frames; ++f) drawFrame();
    }
    Picture firstFrameAfterReset() {
        EXPECT_TRUE(resetScene());
        drawFrame();
        return readPicture();
    }
};

TEST_F(DrawFrame, FirstFrameShowsBlackBackgroundTexturedClothAndLitSphere) {
    drawFrame();
    const Picture picture = readPicture();
    // background: the bottom corners see nothing
    for (int x : {2, windowWidth - 3}) {
        SCOPED_TRACE(x);
        const Rgb p = picture.pixelAt(x, 2);
        EXPECT_EQ(p.r + p.g + p.b, 0);
    }
    // the sheet overhead shows along the top: red texture half left, green right
    EXPECT_GT(pixelsDominatedBy(picture, 0, 6, 200, 310, 440, windowHeight), 500);
    EXPECT_GT(pixelsDominatedBy(picture, 1, 6, 330, 440, 440, windowHeight), 500);
    EXPECT_EQ(pixelsDominatedBy(picture, 1, 6, 200, 310, 440, windowHeight), 0);
    EXPECT_EQ(pixelsDominatedBy(picture, 0, 6, 330, 440, 440, windowHeight), 0);
    // the sphere is lit grey, not the red of the colour set before it
    EXPECT_GT(brightestBlueOnSphere(picture).b, 100);
}

TEST_F(DrawFrame, SphereShowsYellowHighlights) {
    drawFrame();
    const Picture picture = readPicture();
    int yellow = 0;
    for (int y = sphereCentreY; y <= sphereCentreY + sphereScreenRadius; ++y) {
        for (int x = sphereCentreX - sphereScreenRadius; x <= sphereCentreX + sphereScreenRadius; ++x) {
            const Rgb p = picture.pixelAt(x, y);
            if (p.r > p.b + 40 && p.g > p.b + 40) ++yellow;
        }
    }
    EXPECT_GT(yellow, 0);
}

TEST_F(DrawFrame, DrapedClothIsLitAndTextured) {
    runFrames(500);
    const Picture picture = readPicture();
    // lit well above the ambient level on both texture halves
    EXPECT_GT(pixelsDominatedBy(picture, 0, 100, 0, sphereCentreX, 0, windowHeight), 200);
    EXPECT_GT(pixelsDominatedBy(picture, 1, 100, sphereCentreX, windowWidth, 0, windowHeight), 200);
}

TEST_F(DrawFrame, SphereIsStillDrawnInAReplacedContext) {
    drawFrame();
    replaceContext();
    drawFrame();
    EXPECT_GT(brightestBlueOnSphere(readPicture()).b, 100);
}

TEST_F(DrawFrame, CameraAndLightFollowTheStoredView) {
    Camera = CameraState{30.0f, 90.0f, 1.0f, 2.0f, 3.0f};
    drawFrame();
    // The light at (0, 4.4, -8.8) in the scene, seen through Rx(30) Ry(90) T(1, 2, 3):
    // translated (1, 6.4, -5.8), turned about y (-5.8, 6.4, -1), then about x.
    const double c = std::cos(30.0 * M_PI / 180.0);
    const double s = std::sin(30.0 * M_PI / 180.0);
    float light[4];
    glGetLightfv(GL_LIGHT0, GL_POSITION, light);
    EXPECT_NEAR(light[0], -5.8, lightTolerance);
    EXPECT_NEAR(light[1], 6.4 * c + 1.0 * s, lightTolerance);
    EXPECT_NEAR(light[2], 6.4 * s - 1.0 * c, lightTolerance);
    EXPECT_EQ(light[3], 1.0f);
    // every push has its pop: the camera matrix is what is left
    float modelview[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, modelview);
    EXPECT_NEAR(modelview[12], 3.0, lightTolerance);
    EXPECT_NEAR(modelview[13], 2.0 * c + 1.0 * s, lightTolerance);
    EXPECT_NEAR(modelview[14], 2.0 * s - 1.0 * c, lightTolerance);
    GLint depth = 0;
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depth);
    EXPECT_EQ(depth, 1);
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
}

TEST_F(DrawFrame, SmoothNormalsAreLeftForTheWindOnlyWhenOn) {
    // smooth: unit normals everywhere, the next frame's wind reads them
    drawFrame();
    for (int i = 0; i < gridSize; i += 11) {
        for (int j = 0; j < gridSize; j += 11) {
            SCOPED_TRACE(std::to_string(i) + "," + std::to_string(j));
            const float* n = nodeNormalSums[i][j];
            EXPECT_NEAR(std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]), 1.0f, 1e-6f);
        }
    }
    // faceted: the table stays as the step cleared it
    smoothNormals = 0;
    drawFrame();
    for (int i = 0; i < gridSize; ++i)
        for (int j = 0; j < gridSize; ++j)
            for (int c = 0; c < 3; ++c) ASSERT_EQ(nodeNormalSums[i][j][c], 0.0f) << i << "," << j;
}

TEST_F(DrawFrame, SmoothClothMatchesImmediateModeQuads) {
    Camera = CameraState{20.0f, -30.0f, -2.0f, -3.0f, 2.0f};
    windEnabled = 1;
    runFrames(300);
    const Picture arrays = readPicture();
    drawSceneImmediately();
    EXPECT_EQ(countDifferingPixels(arrays, readPicture(), 0), 0);
}

TEST_F(DrawFrame, NormalLinesMatchImmediateModeLines) {
    Camera = CameraState{20.0f, -30.0f, -2.0f, -3.0f, 2.0f};
    windEnabled = 1;
    showNormals = 1;
    runFrames(300);
    const Picture arrays = readPicture();
    drawSceneImmediately();
    EXPECT_EQ(countDifferingPixels(arrays, readPicture(), 0), 0);
}

TEST_F(DrawFrame, FacetedClothMatchesImmediateModeQuads) {
    Camera = CameraState{20.0f, -30.0f, -2.0f, -3.0f, 2.0f};
    runFrames(250);
    smoothNormals = 0;
    runFrames(50);
    const Picture arrays = readPicture();
    drawSceneImmediately();
    EXPECT_EQ(countDifferingPixels(arrays, readPicture(), 0), 0);
}

TEST_F(DrawFrame, FlatSheetLooksTheSameFacetedAndSmooth) {
    // Without pins every node falls alike: the sheet stays flat and lit from above.
    pinsEnabled = 0;
    lookDownOnTheSheet();
    runFrames(30);
    const Picture smooth = readPicture();
    ASSERT_TRUE(resetScene());
    smoothNormals = 0;
    runFrames(30);
    const Picture faceted = readPicture();
    EXPECT_EQ(countDifferingPixels(smooth, faceted, 0), 0);
    // and it is really lit, not just ambient
    EXPECT_GT(pixelsDominatedBy(smooth, 0, 100, 0, windowWidth, 0, windowHeight), 1000);
}

TEST_F(DrawFrame, NormalLinesShowOnlyWithSmoothNormals) {
    lookDownOnTheSheet();
    const Picture plain = firstFrameAfterReset();
    showNormals = 1;
    const Picture lined = firstFrameAfterReset();
    EXPECT_GT(countDifferingPixels(plain, lined, 2), 1000);

    smoothNormals = 0;
    showNormals = 0;
    const Picture facetedPlain = firstFrameAfterReset();
    showNormals = 1;
    const Picture facetedLined = firstFrameAfterReset();
    EXPECT_EQ(countDifferingPixels(facetedPlain, facetedLined, 0), 0);
}

// Runs the program's frames with keys between them and the headless tracer with
// the same keys; the cloth must come out bit for bit the same.
struct KeyPress {
    int after;
    char key;
};

TEST_F(DrawFrame, ClothMatchesTheHeadlessTracer) {
    const int frames = 400;
    const std::vector<KeyPress> keys = {{30, 'M'}, {150, 'N'}, {180, 'B'}, {220, 'Z'},
                                        {260, 'Z'}, {280, 'N'}, {300, 'R'}, {320, 'B'}};
    std::string command = std::string(CLOTHTRACE_PATH) + " " + std::to_string(frames);
    for (const KeyPress& press : keys) command += " " + std::to_string(press.after) + ":" + press.key;

    size_t next = 0;
    for (int frame = 1; frame <= frames; ++frame) {
        drawFrame();
        while (next < keys.size() && keys[next].after == frame) applyKey(keys[next++].key);
    }

    FILE* trace = popen(command.c_str(), "r");
    ASSERT_NE(trace, nullptr) << command;
    int lines = 0;
    int i = 0, j = 0;
    float v[6];
    while (std::fscanf(trace, "%d %d %g %g %g %g %g %g", &i, &j, &v[0], &v[1], &v[2], &v[3], &v[4],
                       &v[5]) == 8) {
        ++lines;
        ASSERT_TRUE(i >= 0 && i < gridSize && j >= 0 && j < gridSize);
        const ClothParticle& node = ClothGrid[i][j];
        const float program[6] = {node.position[0], node.position[1], node.position[2],
                                  node.velocity[0], node.velocity[1], node.velocity[2]};
        for (int c = 0; c < 6; ++c) ASSERT_EQ(program[c], v[c]) << "node " << i << "," << j << " value " << c;
    }
    EXPECT_EQ(pclose(trace), 0);
    EXPECT_EQ(lines, gridSize * gridSize);
}
