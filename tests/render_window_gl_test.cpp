// The render window on the real SDL layer under Xvfb: what the window system
// and GL report once openRenderWindow has succeeded.

#include "app/render_window.h"

#include "app/main_loop.h"
#include "render/camera.h"
#include "render/draw_frame.h"

#include <GL/gl.h>
#include <unistd.h>
#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <cmath>
#include <cstdio>
#include <string>

#include "tests/window_driver.h"

namespace {

// gluPerspective's x and y scale for a 45-degree field of view.
const double focal = 1.0 / std::tan(45.0 * 3.14159265358979323846 / 360.0);
const float matrixTolerance = 1e-5f;

class SdlRenderWindowOnX : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(useTestDisplay());
        AppWindow = AppWindowState{nullptr, nullptr, nullptr, nullptr, 1, 0};
        testing::internal::CaptureStderr();
        testStage("opening the render window");
        opened = openRenderWindow("Tarv's OpenGL Framework", 640, 480, 16, false);
        reported = testing::internal::GetCapturedStderr();
        ASSERT_TRUE(opened) << reported;
    }
    void TearDown() override {
        testStage("closing the render window");
        if (opened) closeRenderWindow();
    }

    static void viewport(GLint out[4]) { glGetIntegerv(GL_VIEWPORT, out); }
    static void projection(GLfloat out[16]) { glGetFloatv(GL_PROJECTION_MATRIX, out); }

    bool opened = false;
    std::string reported;
};

}  // namespace

TEST_F(SdlRenderWindowOnX, WindowHasTitleAndClientSize) {
    EXPECT_EQ(reported.find("ERROR"), std::string::npos) << reported;
    SDL_Window* window = SDL_GL_GetCurrentWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_STREQ(SDL_GetWindowTitle(window), "Tarv's OpenGL Framework");
    int width = 0, height = 0;
    SDL_GetWindowSize(window, &width, &height);
    EXPECT_EQ(width, 640);
    EXPECT_EQ(height, 480);
    EXPECT_TRUE(SDL_GetWindowFlags(window) & SDL_WINDOW_SHOWN);
}

TEST_F(SdlRenderWindowOnX, ContextIsDoubleBufferedWithAtLeastTheRequestedBits) {
    int doubleBuffer = 0;
    SDL_GL_GetAttribute(SDL_GL_DOUBLEBUFFER, &doubleBuffer);
    EXPECT_EQ(doubleBuffer, 1);
    GLint bits[4] = {0, 0, 0, 0};
    glGetIntegerv(GL_RED_BITS, &bits[0]);
    glGetIntegerv(GL_GREEN_BITS, &bits[1]);
    glGetIntegerv(GL_BLUE_BITS, &bits[2]);
    glGetIntegerv(GL_DEPTH_BITS, &bits[3]);
    EXPECT_GE(bits[0], 5);
    EXPECT_GE(bits[1], 6);
    EXPECT_GE(bits[2], 5);
    EXPECT_GE(bits[3], 16);
}

TEST_F(SdlRenderWindowOnX, FixedFunctionDrawingIsAllowed) {
    while (glGetError() != GL_NO_ERROR) {
    }
    glBegin(GL_TRIANGLES);
    glVertex3f(0.0f, 0.0f, -1.0f);
    glVertex3f(1.0f, 0.0f, -1.0f);
    glVertex3f(0.0f, 1.0f, -1.0f);
    glEnd();
    GLuint list = glGenLists(1);
    EXPECT_NE(list, 0u);
    glDeleteLists(list, 1);
    EXPECT_EQ(glGetError(), (GLenum)GL_NO_ERROR);
}

TEST_F(SdlRenderWindowOnX, ViewportAndPerspectiveForTheRequestedSize) {
    GLint view[4];
    viewport(view);
    EXPECT_EQ(view[0], 0);
    EXPECT_EQ(view[1], 0);
    EXPECT_EQ(view[2], 640);
    EXPECT_EQ(view[3], 480);
    GLfloat matrix[16];
    projection(matrix);
    EXPECT_NEAR(matrix[0], focal / (640.0 / 480.0), matrixTolerance);
    EXPECT_NEAR(matrix[5], focal, matrixTolerance);
    // near 0.1, far 100
    EXPECT_NEAR(matrix[10], -(100.0 + 0.1) / (100.0 - 0.1), matrixTolerance);
    EXPECT_NEAR(matrix[14], -2.0 * 100.0 * 0.1 / (100.0 - 0.1), matrixTolerance);
    GLint mode = 0;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_MODELVIEW);
}

TEST_F(SdlRenderWindowOnX, SizeMessageResetsViewportAndAspect) {
    handleWindowMessage(AppWindow.windowHandle, windowMessageSize, 0, (300 << 16) | 800);
    GLint view[4];
    viewport(view);
    EXPECT_EQ(view[2], 800);
    EXPECT_EQ(view[3], 300);
    GLfloat matrix[16];
    projection(matrix);
    EXPECT_NEAR(matrix[0], focal / (800.0 / 300.0), matrixTolerance);
}

// The window manager's drags, and X, never make a client 0 pixels high: the
// size message is dispatched as the layer would make it.
TEST_F(SdlRenderWindowOnX, ZeroHeightCountsAsOne) {
    dispatchEvent(WindowEvent{AppWindow.windowHandle, windowMessageSize, 0, 640});
    GLint view[4];
    viewport(view);
    EXPECT_EQ(view[2], 640);
    EXPECT_EQ(view[3], 1);
    GLfloat matrix[16];
    projection(matrix);
    EXPECT_TRUE(std::isfinite(matrix[0]));
    EXPECT_NEAR(matrix[0], focal / 640.0, matrixTolerance);
}

TEST_F(SdlRenderWindowOnX, ViewportFollowsTheWindowManagersResizeAndMaximise) {
    WindowDriver user;
    XWindowId window = user.waitForWindow("Tarv's OpenGL Framework", getpid());
    ASSERT_NE(window, 0u) << user.failure();
    // The frame's bottom-right corner dragged by (dx, dy) in steps, as a hand
    // would. The window manager takes up a drag at one motion and follows from
    // a later one: let go sooner, the drag is dropped.
    auto drag = [&](int dx, int dy) {
        std::vector<uint32_t> frame = user.cardinals(window, "_NET_FRAME_EXTENTS");  // l, r, t, b
        int width = 0, height = 0, nowWidth = 0, nowHeight = 0;
        user.clientSize(window, &width, &height);
        const int x = width + (int)frame.at(1) - 1, y = height + (int)frame.at(3) - 1;
        user.movePointer(window, x, y);
        user.pressButton(true);
        for (Uint32 start = SDL_GetTicks(), wiggle = 0; SDL_GetTicks() - start < 20000; SDL_Delay(10)) {
            user.movePointer(window, x + dx / 10, y + dy / 10 + (int)(wiggle++ % 2));
            user.clientSize(window, &nowWidth, &nowHeight);
            if (nowWidth != width || nowHeight != height) break;
        }
        for (int step = 2; step <= 10; ++step)
            user.movePointer(window, x + dx * step / 10, y + dy * step / 10);
        user.pressButton(false);
    };
    struct Step {
        const char* what;
        std::function<void()> act;
        int width, height;
    };
    const Step steps[] = {
        {"dragged smaller", [&] { drag(-100, -60); }, 540, 420},
        // dragged above the top: X keeps the client one pixel high
        {"dragged above the top", [&] { drag(0, -600); }, 540, 1},
        // the whole 1024 x 768 screen but openbox's title bar
        {"maximised", [&] { user.maximise(window); }, 1024, 749},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        step.act();
        // The size messages are in the queue, or on their way there.
        int width = 0, height = 0;
        GLint view[4] = {};
        for (Uint32 start = SDL_GetTicks(); SDL_GetTicks() - start < 20000; SDL_Delay(10)) {
            user.clientSize(window, &width, &height);
            WindowEvent event;
            while (takeEvent(&event)) dispatchEvent(event);
            viewport(view);
            if (width == step.width && height == step.height && view[2] == width && view[3] == height)
                break;
        }
        EXPECT_EQ(width, step.width);
        EXPECT_EQ(height, step.height);
        EXPECT_EQ(view[2], width);
        EXPECT_EQ(view[3], height);
    }
}

// XTEST's drag and wheel through SDL: the steps the pointer asks for, and the
// camera they give, are those of the key passes they stand for.
TEST_F(SdlRenderWindowOnX, DragAndWheelStepTheCameraAsTheirKeysWould) {
    WindowDriver user;
    XWindowId window = user.waitForWindow("Tarv's OpenGL Framework", getpid());
    ASSERT_TRUE(window && user.waitForFocus(window)) << user.failure();
    auto dispatchAll = [] {
        WindowEvent event;
        while (takeEvent(&event)) dispatchEvent(event);
    };
    // SDL drops a click it takes within 10 ms of taking the focus: the focus first.
    dispatchAll();
    SDL_Delay(20);
    user.movePointer(window, 300, 200);
    user.pressButton(true);
    user.movePointer(window, 335, 225);  // 35 right: 3 Left; 25 down: 2 Page Up
    user.pressButton(false);
    user.pressButton(true, 4);  // one notch away: 3 Up
    user.pressButton(false, 4);
    for (Uint32 start = SDL_GetTicks(); SDL_GetTicks() - start < 20000 && (Pointer.dragging || Pointer.walk == 0);
         SDL_Delay(10))
        dispatchAll();
    EXPECT_EQ(Pointer.turn, -3);
    EXPECT_EQ(Pointer.tilt, -2);
    EXPECT_EQ(Pointer.walk, walkStepsPerNotch);
    applyKeys();
    const CameraState moved = Camera;
    Camera = CameraState{};
    // In a pass's order: tilt, walk, turn.
    for (int key : {keyPageUp, keyUp, keyLeft}) {
        KeyState[key] = 1;
        for (int pass = 0; pass < (key == keyLeft ? 3 : key == keyPageUp ? 2 : walkStepsPerNotch); ++pass) applyKeys();
        KeyState[key] = 0;
    }
    EXPECT_EQ(moved.yaw, Camera.yaw);
    EXPECT_EQ(moved.pitch, Camera.pitch);
    EXPECT_EQ(moved.x, Camera.x);
    EXPECT_EQ(moved.z, Camera.z);
}

TEST_F(SdlRenderWindowOnX, ClosingAndReopeningGivesAFreshCurrentContext) {
    closeRenderWindow();
    EXPECT_EQ(SDL_GL_GetCurrentContext(), nullptr);
    testing::internal::CaptureStderr();
    opened = openRenderWindow("Tarv's OpenGL Framework", 640, 480, 16, false);
    std::string again = testing::internal::GetCapturedStderr();
    ASSERT_TRUE(opened) << again;
    EXPECT_EQ(again.find("ERROR"), std::string::npos) << again;
    EXPECT_NE(SDL_GL_GetCurrentContext(), nullptr);
    GLint view[4];
    viewport(view);
    EXPECT_EQ(view[2], 640);
}

// The brightest blue in the square the sphere covers in the middle of the
// window with the start camera; the sphere is lit grey, the background black.
static int brightestBlueOnSphere() {
    constexpr int side = 160;
    static unsigned char pixels[side * side * 3];
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(320 - side / 2, 240 - side / 2, side, side, GL_RGB, GL_UNSIGNED_BYTE, pixels);
    int best = 0;
    for (int p = 2; p < side * side * 3; p += 3) best = std::max(best, (int)pixels[p]);
    return best;
}

TEST_F(SdlRenderWindowOnX, SphereIsDrawnAgainAfterReopening) {
    // F1 does this: the new context has none of the old one's display lists.
    drawFrame();
    EXPECT_GT(brightestBlueOnSphere(), 100);
    closeRenderWindow();
    opened = openRenderWindow("Tarv's OpenGL Framework", 640, 480, 16, false);
    ASSERT_TRUE(opened);
    drawFrame();
    EXPECT_GT(brightestBlueOnSphere(), 100);
}

TEST(SdlPixelFormat, NoMatchingVisualFailsTheSettingNotTheChoice) {
    ASSERT_TRUE(useTestDisplay());
    ModuleHandle module = programModule();
    ASSERT_TRUE(registerWindowClass("OpenGL", handleWindowMessage, module));
    WindowHandle window = createWindow("OpenGL", "t", windowStyleOverlapped, 0, 0, 64, 64, module);
    ASSERT_NE(window, nullptr);
    DeviceContextHandle deviceContext = getDeviceContext(window);
    PixelFormatRequest impossible = pixelFormatRequest;
    impossible.depthBits = 64;  // no X visual has that much depth

    int format = choosePixelFormat(deviceContext, impossible);
    EXPECT_NE(format, 0);
    EXPECT_FALSE(setPixelFormat(deviceContext, format, impossible));
    // the window is still there to be torn down
    EXPECT_TRUE(releaseDeviceContext(window, deviceContext));
    EXPECT_TRUE(destroyWindow(window));
    EXPECT_TRUE(unregisterWindowClass("OpenGL", module));
}
