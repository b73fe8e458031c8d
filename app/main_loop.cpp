#include "app/main_loop.h"

#include <cmath>

#include "app/render_window.h"
#include "platform/window_system.h"
#include "cloth/cloth_grid.h"
#include "render/camera.h"
#include "render/draw_frame.h"
#include "render/reset_scene.h"

unsigned char KeyState[keyCodeCount];
PointerState Pointer;
unsigned char smoothNormalsLatch = 1;
unsigned char pinsLatch = 1;

const char* const windowTitle = "Tarv's OpenGL Framework";

// Per pass, whatever the frame rate.
constexpr float pitchStep = 2.5f;   // degrees
constexpr float yawStep = 1.6f;     // degrees; the float 1.60000002384
constexpr float pitchLimit = 90.0f;
constexpr double moveStep = 0.2;    // world units

// Degrees to radians with 3.14, not pi, and multiplying first: every camera step
// depends on this exact factor, so the sideways and forward directions are not
// quite at right angles.
static double radians(double degrees) { return (degrees * 3.14) / 180.0; }

// The angles are summed in double from the float field; only the results are
// stored back as float.
static void moveForward(double sign) {
    double pitch = radians(Camera.pitch);
    double heading = radians((double)Camera.yaw + 90.0f);
    Camera.y = (float)(Camera.y + sign * (moveStep * std::sin(pitch)));
    Camera.z = (float)(Camera.z + sign * (std::cos(pitch) * (moveStep * std::sin(heading))));
    Camera.x = (float)(Camera.x + sign * (std::cos(heading) * (moveStep * std::cos(pitch))));
}

// Level with the ground, along a heading `turn` degrees from the yaw.
static void moveLevel(double sign, float turn) {
    double heading = radians((double)Camera.yaw + turn);
    Camera.x = (float)(Camera.x + sign * (moveStep * std::cos(heading)));
    Camera.z = (float)(Camera.z + sign * (moveStep * std::sin(heading)));
}

static void tilt(int direction) {
    if (direction < 0 && Camera.pitch > -pitchLimit)
        Camera.pitch = (float)((double)Camera.pitch - pitchStep);
    if (direction > 0 && Camera.pitch < pitchLimit)
        Camera.pitch = (float)((double)Camera.pitch + pitchStep);
}

static void turn(int direction) {
    if (direction > 0) Camera.yaw = (float)((double)Camera.yaw + yawStep);
    if (direction < 0) Camera.yaw = (float)((double)Camera.yaw - yawStep);
}

// As many passes of Page Up or Down, Up or Down, Left or Right as the pointer
// asked for, after this pass's keys.
static void applyPointerSteps() {
    for (; Pointer.tilt != 0; Pointer.tilt -= Pointer.tilt > 0 ? 1 : -1)
        tilt(Pointer.tilt);
    for (; Pointer.walk != 0; Pointer.walk -= Pointer.walk > 0 ? 1 : -1)
        moveLevel(Pointer.walk > 0 ? 1.0 : -1.0, 90.0f);
    for (; Pointer.turn != 0; Pointer.turn -= Pointer.turn > 0 ? 1 : -1)
        turn(Pointer.turn);
}

// Z and B: acts on the pass the key goes down, re-armed only by a pass that
// sees it up.
static void latchedToggle(int key, unsigned char* latch, unsigned char* flag) {
    if (KeyState[key] && !*latch) {
        *latch = 1;
        *flag = !*flag;
    }
    if (!KeyState[key]) *latch = 0;
}

bool applyKeys() {
    if (KeyState[keyPageUp]) tilt(-1);
    if (KeyState[keyPageDown]) tilt(1);

    // W and the Up and Down arrows use the yaw from before this pass's turn;
    // A and D use the turned one.
    if (KeyState[keyW]) moveForward(1.0);
    if (KeyState[keyUp]) moveLevel(1.0, 90.0f);
    if (KeyState[keyS]) moveForward(-1.0);
    if (KeyState[keyDown]) moveLevel(-1.0, 90.0f);
    if (KeyState[keyRight]) turn(1);
    if (KeyState[keyLeft]) turn(-1);

    // N and M act in every pass the key is down: held, they flicker.
    if (KeyState[keyN]) showNormals = !showNormals;
    if (KeyState[keyM]) windEnabled = !windEnabled;

    if (KeyState[keyA]) moveLevel(1.0, 0.0f);
    if (KeyState[keyD]) moveLevel(1.0, 180.0f);
    applyPointerSteps();

    // A failed texture load leaves the cloth reset and the old texture bound.
    if (KeyState[keyR]) resetScene();

    latchedToggle(keyZ, &smoothNormalsLatch, &smoothNormals);
    latchedToggle(keyB, &pinsLatch, &pinsEnabled);

    if (KeyState[keyF1]) {
        KeyState[keyF1] = 0;
        closeRenderWindow();
        if (!openRenderWindow(windowTitle, windowWidth, windowHeight, windowColourBits,
                              AppWindow.fullscreen))
            return false;
    }
    return true;
}

int applicationMain() {
    if (!openRenderWindow(windowTitle, windowWidth, windowHeight, windowColourBits,
                          AppWindow.fullscreen))
        return exitFailure;

    bool done = false;
    WindowEvent event;
    for (;;) {
        // Escape or a close request: after Escape no event carries a meaningful
        // code, so the status is 0 either way.
        if (done) {
            closeRenderWindow();
            return 0;
        }
        if (takeEvent(&event)) {
            if (event.message == windowMessageQuit)
                done = true;
            else
                dispatchEvent(event);
            continue;
        }
        // Minimised: no frame, and Escape waits until the window is back.
        if (AppWindow.active) {
            if (KeyState[keyEscape]) {
                done = true;
            } else {
                drawFrame();
                presentFrame(AppWindow.deviceContext);
            }
        }
        if (!applyKeys()) return exitFailure;
    }
}
