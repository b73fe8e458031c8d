#include "app/render_window.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <cstdio>

#include "app/main_loop.h"
#include "render/draw_frame.h"
#include "render/reset_scene.h"

AppWindowState AppWindow = {nullptr, nullptr, nullptr, nullptr, 1, 0};

const char* const windowClassName = "OpenGL";

PixelFormatRequest pixelFormatRequest = {
    true,  // drawToWindow
    true,  // supportOpenGl
    true,  // doubleBuffer
    true,  // rgba
    16,    // colourBits: replaced by the caller's value
    0,     // alphaBits
    0,     // accumulationBits
    16,    // depthBits
    0,     // stencilBits
    0,     // auxiliaryBuffers
};

// The window's own boxes have no owner: when they are shown there is no window
// yet, or it is being torn down.
static const char* const creationCaption = "ERROR";
static const char* const shutdownCaption = "SHUTDOWN ERROR";

static int signedLow(intptr_t value) { return (int16_t)(value & 0xFFFF); }
static int signedHigh(intptr_t value) { return (int16_t)((value >> 16) & 0xFFFF); }

// Whole steps in the pixels moved plus those carried; the rest is carried on.
static int takeSteps(int* carry, int pixels, int perStep) {
    *carry += pixels;
    const int steps = *carry / perStep;
    *carry -= steps * perStep;
    return steps;
}

static void endDrag() {
    if (!Pointer.dragging) return;
    Pointer.dragging = false;
    releasePointer();
}

// The scene follows the pointer: dragging right turns the view left, dragging
// down tilts it up.
static void followPointer(intptr_t position) {
    const int x = signedLow(position), y = signedHigh(position);
    Pointer.turn -= takeSteps(&Pointer.carryX, x - Pointer.x, dragPixelsPerStep);
    Pointer.tilt -= takeSteps(&Pointer.carryY, y - Pointer.y, dragPixelsPerStep);
    Pointer.x = x;
    Pointer.y = y;
}

// Beside each box a terminal user is told in plain words what failed (`what`)
// and the window system's reason.
static void reportShutdownError(const char* text, const char* what) {
    reportFailure(what, windowSystemError());
    showMessageBox(nullptr, text, shutdownCaption, messageIconInformation, messageButtonsOk);
}

// Creation failures after the class exists: tear everything down first, so the
// box is shown with the display mode and cursor back to normal. A null `what`:
// the failing step has told the terminal itself.
static bool failCreation(const char* text, const char* what) {
    char why[512];  // taken before the teardown gives the window system other reasons
    std::snprintf(why, sizeof why, "%s", windowSystemError());
    closeRenderWindow();
    if (what) reportFailure(what, why);
    showMessageBox(nullptr, text, creationCaption, messageIconWarning, messageButtonsOk);
    return false;
}

bool openRenderWindow(const char* title, int width, int height, int bits, bool fullscreen) {
    AppWindow.fullscreen = fullscreen;
    AppWindow.instance = programModule();

    if (!registerWindowClass(windowClassName, handleWindowMessage, AppWindow.instance)) {
        // The reason says it all: there is no display, or no way to use it.
        reportFailure("", windowSystemError());
        showMessageBox(nullptr, "Failed To Register The Window Class.", creationCaption,
                       messageIconWarning, messageButtonsOk);
        return false;
    }

    if (AppWindow.fullscreen && !changeDisplayMode(width, height, bits)) {
        char what[64];
        std::snprintf(what, sizeof what, "cannot switch the display to %d x %d", width, height);
        reportFailure(what, windowSystemError());
        MessageAnswer answer = showMessageBox(
            nullptr,
            "The Requested Fullscreen Mode Is Not Supported By\nYour Video Card. "
            "Use Windowed Mode Instead?",
            "Tarv GL", messageIconWarning, messageButtonsYesNo);
        if (answer != messageAnswerYes) {
            // The class stays registered: the program ends right after this.
            showMessageBox(nullptr, "Program Will Now Close.", creationCaption, messageIconStop,
                           messageButtonsOk);
            return false;
        }
        AppWindow.fullscreen = 0;
    }

    WindowStyle style = windowStyleOverlapped;
    if (AppWindow.fullscreen) {
        style = windowStylePopup;
        hideCursor();
    }

    WindowRect outer = outerWindowRect(WindowRect{0, 0, width, height}, style);
    AppWindow.windowHandle = createWindow(windowClassName, title, style, 0, 0,
                                          outer.right - outer.left, outer.bottom - outer.top,
                                          AppWindow.instance);
    if (!AppWindow.windowHandle)
        return failCreation("Window Creation Error.", "cannot create the window");

    AppWindow.deviceContext = getDeviceContext(AppWindow.windowHandle);
    if (!AppWindow.deviceContext)
        return failCreation("Can't Create A GL Device Context.",
                            "cannot get the window's drawing surface");

    pixelFormatRequest.colourBits = bits;
    int format = choosePixelFormat(AppWindow.deviceContext, pixelFormatRequest);
    if (format == 0)
        return failCreation("Can't Find A Suitable PixelFormat.", "no suitable OpenGL pixel format");
    if (!setPixelFormat(AppWindow.deviceContext, format, pixelFormatRequest))
        return failCreation("Can't Set The PixelFormat.", "cannot set the OpenGL pixel format");

    AppWindow.renderContext = createRenderContext(AppWindow.deviceContext);
    if (!AppWindow.renderContext)
        return failCreation("Can't Create A GL Rendering Context.", "cannot create the OpenGL context");
    if (!makeContextCurrent(AppWindow.deviceContext, AppWindow.renderContext))
        return failCreation("Can't Activate The GL Rendering Context.",
                            "cannot make the OpenGL context current");

    showWindow(AppWindow.windowHandle);
    bringWindowToFront(AppWindow.windowHandle);
    giveKeyboardFocus(AppWindow.windowHandle);
    // The requested size, not a measured one: a size event follows if they differ.
    resizeViewport(width, height);

    // The picture's loader has told the terminal what it could not read.
    if (!resetScene()) return failCreation("Initialization Failed.", nullptr);
    return true;
}

void closeRenderWindow() {
    endDrag();
    if (AppWindow.fullscreen) {
        restoreDisplayMode();
        showCursor();
    }
    if (AppWindow.renderContext) {
        if (!makeNoContextCurrent())
            reportShutdownError("Release Of DC And RC Failed.", "cannot release the OpenGL context");
        if (!deleteRenderContext(AppWindow.renderContext))
            reportShutdownError("Release Rendering Context Failed.",
                                "cannot delete the OpenGL context");
        AppWindow.renderContext = nullptr;
        // Display lists died with the context; the next one compiles its own.
        forgetContextObjects();
    }
    if (AppWindow.deviceContext) {
        if (!releaseDeviceContext(AppWindow.windowHandle, AppWindow.deviceContext))
            reportShutdownError("Release Device Context Failed.",
                                "cannot release the window's drawing surface");
        AppWindow.deviceContext = nullptr;
    }
    if (AppWindow.windowHandle) {
        if (!destroyWindow(AppWindow.windowHandle))
            reportShutdownError("Could Not Release hWnd.", "cannot destroy the window");
        AppWindow.windowHandle = nullptr;
    }
    if (!unregisterWindowClass(windowClassName, AppWindow.instance)) {
        reportShutdownError("Could Not Unregister Class.", "cannot unregister the window class");
        AppWindow.instance = nullptr;
    }
}

void resizeViewport(int width, int height) {
    if (height == 0) height = 1;
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    double aspect = (double)width / (double)height;
    // Near plane is the float 0.1 widened, not the double 0.1.
    gluPerspective(45.0, aspect, 0.1f, 100.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

intptr_t handleWindowMessage(WindowHandle window, WindowMessage message, uintptr_t first,
                             intptr_t second) {
    switch (message) {
    case windowMessageActivate:
        // Losing the focus without being minimised keeps the frames coming.
        AppWindow.active = ((first >> 16) & 0xFFFF) == 0;
        if ((first & 0xFFFF) == activateInactive) endDrag();
        return 0;
    case windowMessageButtonDown:
        Pointer.dragging = true;
        Pointer.x = signedLow(second);
        Pointer.y = signedHigh(second);
        Pointer.carryX = Pointer.carryY = 0;
        capturePointer(window);
        return 0;
    case windowMessageButtonUp:
        endDrag();
        return 0;
    case windowMessagePointerMove:
        // A release we never saw (another window took the pointer) ends it too.
        if (Pointer.dragging && !(first & pointerButtonPrimary)) endDrag();
        if (Pointer.dragging) followPointer(second);
        return 0;
    case windowMessageWheel:
        Pointer.walk +=
            walkStepsPerNotch * takeSteps(&Pointer.wheelCarry, signedHigh((intptr_t)first), wheelNotch);
        return 0;
    case windowMessageCaptureLost:
        Pointer.dragging = false;
        return 0;
    case windowMessageSystemCommand:
        if (first == systemCommandScreenSave || first == systemCommandMonitorPower) return 0;
        break;
    case windowMessageClose:
        // The loop tears the window down once it sees the quit event.
        postQuitEvent(0);
        return 0;
    case windowMessageKeyDown:
        // A code past the table comes from no keyboard we know: drop it.
        if (first < keyCodeCount) KeyState[first] = 1;
        return 0;
    case windowMessageKeyUp:
        if (first < keyCodeCount) KeyState[first] = 0;
        return 0;
    case windowMessageSize:
        resizeViewport((int)(second & 0xFFFF), (int)((second >> 16) & 0xFFFF));
        return 0;
    default:
        break;
    }
    return defaultWindowMessage(window, message, first, second);
}
