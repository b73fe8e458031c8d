// window_system_web.cpp -- the window-system operations in a browser page, on
// emscripten's html5.h. Decides nothing: the order of creation, teardown and
// every message belong to the callers.
//
// How the Windows notions map:
// - window: a canvas the page's "stage" holds, made anew for each window since a
//   canvas keeps one WebGL context for life; destroying the window removes it.
// - device context: the canvas; pixel format: the WebGL context's attributes.
// - events: html5.h's callbacks queue them while the program waits for the
//   browser; browser key codes are the Windows virtual-key codes already.
// - activation: the page hidden counts as minimised; the canvas losing the
//   keyboard focus as a window losing it.
// - the loop never waits, but the page has one thread: the program lets the
//   browser run until its next animation frame once per pass, when it presents
//   or, if it drew nothing, when it finds the queue empty.
// - message boxes: the browser's alert and confirm (OK answers Yes).
// - the pointer: pointer events, so that mouse, pen and finger are one. One
//   finger drags; two turn into the wheel's walk: spreading them, or moving
//   them up, walks on, 100 CSS pixels a notch as for a wheel's pixels.

#include "platform/window_system.h"

#include <emscripten.h>
#include <emscripten/html5.h>

#include <cstdio>
#include <cstring>

#include "platform/gl_on_webgl.h"
#include "platform/key_codes.h"
#include "platform/terminal_output.h"

struct PlatformModule {
    int unused;
};

struct PlatformWindow {
    bool alive;
    bool formatSet;
    bool depth;
};

static PlatformModule module;
static PlatformWindow canvasWindow;  // one canvas at a time, as there is one window
static const char* const canvasSelector = "#canvas";
static WindowMessageHandler classHandler;
static bool classRegistered;
static char lastError[256];

static WindowEvent queue[256];
static int queueStart, queueLength;
static bool presentedSincePoll;

static void noteError(const char* text) { std::snprintf(lastError, sizeof lastError, "%s", text); }

static void post(WindowHandle window, WindowMessage message, uintptr_t first, intptr_t second) {
    if (queueLength == (int)(sizeof queue / sizeof queue[0])) return;  // as a full Windows queue: lost
    queue[(queueStart + queueLength++) % (sizeof queue / sizeof queue[0])] =
        WindowEvent{window, message, first, second};
}

// --- JavaScript the page runs --------------------------------------------------

// A fresh canvas in the page's stage, hidden until shown; the page's title
// becomes the window's.
EM_JS(void, makeCanvas, (const char* title), {
    const canvas = document.createElement('canvas');
    canvas.id = 'canvas';
    canvas.tabIndex = 0;
    canvas.style.display = 'none';
    canvas.addEventListener('contextmenu', (event) => event.preventDefault());
    (document.getElementById('stage') || document.body).appendChild(canvas);
    document.title = UTF8ToString(title);
});
EM_JS(void, removeCanvas, (), {
    const canvas = document.getElementById('canvas');
    if (canvas) canvas.remove();
});
EM_JS(void, showCanvas, (), { document.getElementById('canvas').style.display = ""; });
EM_JS(void, focusCanvas, (), { document.getElementById('canvas').focus(); });
EM_JS(int, canvasHasFocus, (), {
    const canvas = document.getElementById('canvas');
    return canvas !== null && document.activeElement === canvas;
});
EM_JS(int, pageHidden, (), { return document.hidden ? 1 : 0; });
EM_JS(void, setCanvasCursor, (int hidden), {
    const canvas = document.getElementById('canvas');
    if (canvas) canvas.style.cursor = hidden ? "none" : "";
});
// -1 where the page can show no box (no window, as in a worker).
EM_JS(int, browserBox, (const char* text, int question), {
    if (typeof window === 'undefined' || typeof window.alert !== 'function') return -1;
    const said = UTF8ToString(text);
    if (question) return window.confirm(said) ? 1 : 0;
    window.alert(said);
    return 0;
});
// The canvas's pointer events, handed to webPointer and webWheel below.
EM_JS(void, listenToPointer, (), {
    const canvas = document.getElementById('canvas');
    const fingers = new Map();
    let pinch = null;
    const at = (event) => {
        const box = canvas.getBoundingClientRect();
        return [Math.round(event.clientX - box.left), Math.round(event.clientY - box.top)];
    };
    const spread = () => {
        const [a, b] = [...fingers.values()];
        return { distance: Math.hypot(a[0] - b[0], a[1] - b[1]), y: (a[1] + b[1]) / 2 };
    };
    canvas.addEventListener('pointerdown', (event) => {
        if (event.pointerType === 'touch') {
            fingers.set(event.pointerId, at(event));
            if (fingers.size === 2) {
                _webPointer(3, 0, 0, 0);  // the one-finger drag gives way to walking
                pinch = spread();
            }
            if (fingers.size > 1) return;
        } else if (event.button !== 0) {
            return;
        }
        canvas.clothsimPointer = event.pointerId;
        _webPointer(0, ...at(event), 1);
    });
    canvas.addEventListener('pointermove', (event) => {
        if (fingers.has(event.pointerId)) fingers.set(event.pointerId, at(event));
        if (pinch && fingers.size === 2) {
            const now = spread();
            _webWheel(now.y - pinch.y - (now.distance - pinch.distance));
            pinch = now;
        } else if (!pinch) {
            _webPointer(2, ...at(event), event.buttons & 1);
        }
    });
    const lift = (event) => {
        fingers.delete(event.pointerId);
        if (pinch) {
            if (fingers.size === 0) pinch = null;
        } else if (event.pointerId === canvas.clothsimPointer) {
            _webPointer(1, ...at(event), 0);
        }
    };
    canvas.addEventListener('pointerup', lift);
    canvas.addEventListener('pointercancel', lift);
    canvas.addEventListener('lostpointercapture', () => _webPointer(3, 0, 0, 0));
    // Not passive, so that the page neither scrolls nor zooms instead.
    canvas.addEventListener('wheel', (event) => {
        event.preventDefault();
        _webWheel(event.deltaY * [1, 100 / 3, 100][event.deltaMode]);
    }, { passive: false });
});
EM_JS(void, setPointerCapture, (int on), {
    const canvas = document.getElementById('canvas');
    try {
        if (on) canvas.setPointerCapture(canvas.clothsimPointer);
        else canvas.releasePointerCapture(canvas.clothsimPointer);
    } catch (error) {
        // the pointer is up already: nothing to capture or release
    }
});

// Module.framesPresented counts the frames shown, for the page and its tests.
EM_ASYNC_JS(void, waitForAnimationFrame, (int presenting), {
    if (presenting) Module.framesPresented = (Module.framesPresented || 0) + 1;
    await new Promise((resolve) => requestAnimationFrame(resolve));
});

// --- Events -------------------------------------------------------------------

static WindowHandle liveWindow() { return canvasWindow.alive ? &canvasWindow : nullptr; }

// The drawing buffer follows the canvas's size on the page, in device pixels.
static void fitCanvas() {
    double cssWidth = 0, cssHeight = 0;
    if (emscripten_get_element_css_size(canvasSelector, &cssWidth, &cssHeight) != EMSCRIPTEN_RESULT_SUCCESS)
        return;
    const double ratio = emscripten_get_device_pixel_ratio();
    int width = (int)(cssWidth * ratio + 0.5), height = (int)(cssHeight * ratio + 0.5);
    if (width > 0xFFFF) width = 0xFFFF;
    if (height > 0xFFFF) height = 0xFFFF;
    emscripten_set_canvas_element_size(canvasSelector, width, height);
    post(liveWindow(), windowMessageSize, 0, (intptr_t)((unsigned)height << 16 | (unsigned)width));
}

static EM_BOOL onResize(int, const EmscriptenUiEvent*, void*) {
    if (canvasWindow.alive) fitCanvas();
    return EM_FALSE;
}

// The keys the program acts on: the browser's own use of them (scrolling,
// help) is held back while the canvas has the keyboard.
static bool programKey(int key) {
    static const int keys[] = {keyEscape, keyPageUp, keyPageDown, keyLeft, keyUp, keyRight, keyDown,
                               keyW, keyS, keyA, keyD, keyN, keyM, keyR, keyZ, keyB, keyF1};
    for (int k : keys)
        if (k == key) return true;
    return false;
}

static EM_BOOL onKey(int type, const EmscriptenKeyboardEvent* event, void*) {
    const unsigned long key = event->keyCode;
    if (key == 0 || key >= (unsigned long)keyCodeCount) return EM_FALSE;
    // As on Windows: with Alt held, or F10, a key is the system's.
    const bool system = event->altKey || key == (unsigned long)keyF10;
    const bool down = type == EMSCRIPTEN_EVENT_KEYDOWN;
    post(liveWindow(),
         system ? (down ? windowMessageSystemKeyDown : windowMessageSystemKeyUp)
                : (down ? windowMessageKeyDown : windowMessageKeyUp),
         key, 0);
    // Ctrl and the Meta key's shortcuts stay the browser's (reload, close the tab).
    return !system && !event->ctrlKey && !event->metaKey && programKey((int)key);
}

static void postActivation() {
    const uintptr_t hidden = pageHidden() ? 1 : 0;
    const uintptr_t state = canvasHasFocus() ? activateActive : activateInactive;
    post(liveWindow(), windowMessageActivate, hidden << 16 | state, 0);
}

static EM_BOOL onFocus(int, const EmscriptenFocusEvent*, void*) {
    postActivation();
    return EM_FALSE;
}

static EM_BOOL onVisibility(int, const EmscriptenVisibilityChangeEvent*, void*) {
    postActivation();
    return EM_FALSE;
}

// kind: 0 down, 1 up, 2 move, 3 capture lost.
extern "C" EMSCRIPTEN_KEEPALIVE void webPointer(int kind, int x, int y, int primaryHeld) {
    static const WindowMessage messages[] = {windowMessageButtonDown, windowMessageButtonUp,
                                             windowMessagePointerMove, windowMessageCaptureLost};
    if (kind < 0 || kind > 3) return;
    post(liveWindow(), messages[kind], primaryHeld ? pointerButtonPrimary : 0, pointerPosition(x, y));
}

// Pixels down the page, as the browser reports a wheel: 100 of them a notch
// toward the user (the seam counts away from the user as positive); the rest
// waits for the next turn.
static double wheelPixels;
extern "C" EMSCRIPTEN_KEEPALIVE void webWheel(double pixels) {
    wheelPixels += pixels;
    const int notches = (int)(wheelPixels / 100.0);
    wheelPixels -= notches * 100.0;
    if (notches != 0)
        post(liveWindow(), windowMessageWheel, (uintptr_t)(uint16_t)(int16_t)(-notches * wheelNotch) << 16, 0);
}

// The page's buttons for touch screens: the key goes down, and up again once
// one key pass has seen it (a key down and up between two passes is never seen).
static int tappedKey, tapStage;  // 1: down queued; 2: a pass is seeing it
extern "C" EMSCRIPTEN_KEEPALIVE void webTapKey(int key) {
    if (tapStage != 0 || !liveWindow() || key <= 0 || key >= keyCodeCount) return;
    post(liveWindow(), windowMessageKeyDown, (uintptr_t)key, 0);
    tappedKey = key;
    tapStage = 1;
}

static void listen(bool on) {
    emscripten_set_keydown_callback(canvasSelector, nullptr, EM_FALSE, on ? onKey : nullptr);
    emscripten_set_keyup_callback(canvasSelector, nullptr, EM_FALSE, on ? onKey : nullptr);
    emscripten_set_focus_callback(canvasSelector, nullptr, EM_FALSE, on ? onFocus : nullptr);
    emscripten_set_blur_callback(canvasSelector, nullptr, EM_FALSE, on ? onFocus : nullptr);
    emscripten_set_visibilitychange_callback(nullptr, EM_FALSE, on ? onVisibility : nullptr);
    emscripten_set_resize_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, nullptr, EM_FALSE,
                                   on ? onResize : nullptr);
}

bool takeEvent(WindowEvent* event) {
    if (tapStage == 2) {
        post(liveWindow(), windowMessageKeyUp, (uintptr_t)tappedKey, 0);
        tapStage = 0;
    }
    if (queueLength == 0) {
        // The tapped key's down has been taken: this pass sees it.
        if (tapStage == 1) tapStage = 2;
        // A pass that drew nothing still lets the page run, or it would hang.
        if (!presentedSincePoll) waitForAnimationFrame(0);
        presentedSincePoll = false;
    }
    if (queueLength == 0) return false;
    *event = queue[queueStart];
    queueStart = (queueStart + 1) % (sizeof queue / sizeof queue[0]);
    --queueLength;
    return true;
}

void dispatchEvent(const WindowEvent& event) {
    if (classHandler && event.window && event.window == liveWindow())
        classHandler(event.window, event.message, event.first, event.second);
}

intptr_t defaultWindowMessage(WindowHandle, WindowMessage, uintptr_t, intptr_t) { return 0; }

void postQuitEvent(int exitCode) { post(nullptr, windowMessageQuit, (uintptr_t)exitCode, 0); }

// --- Window and rendering context --------------------------------------------

ModuleHandle programModule() { return &module; }

bool registerWindowClass(const char*, WindowMessageHandler handler, ModuleHandle) {
    if (classRegistered) {
        noteError("the window class is registered already");
        return false;
    }
    classRegistered = true;
    classHandler = handler;
    return true;
}

bool unregisterWindowClass(const char*, ModuleHandle) {
    if (!classRegistered || canvasWindow.alive) {
        noteError(classRegistered ? "a window of the class still exists" : "the window class is not registered");
        return false;
    }
    classRegistered = false;
    return true;
}

// A canvas has no frame.
WindowRect outerWindowRect(WindowRect client, WindowStyle) { return client; }

// The canvas takes the page's room, whatever size was asked for.
WindowHandle createWindow(const char*, const char* title, WindowStyle, int, int, int, int, ModuleHandle) {
    if (!classRegistered || canvasWindow.alive) {
        noteError(classRegistered ? "the page has its canvas already" : "the window class is not registered");
        return nullptr;
    }
    makeCanvas(title);
    canvasWindow = PlatformWindow{true, false, false};
    listen(true);
    listenToPointer();
    return &canvasWindow;
}

bool destroyWindow(WindowHandle window) {
    if (window != liveWindow()) {
        noteError("no such canvas");
        return false;
    }
    listen(false);
    removeCanvas();
    canvasWindow.alive = false;
    // What was queued for it goes with it.
    int kept = 0;
    for (int k = 0; k < queueLength; ++k) {
        const WindowEvent& event = queue[(queueStart + k) % (sizeof queue / sizeof queue[0])];
        if (event.window != window) queue[(queueStart + kept++) % (sizeof queue / sizeof queue[0])] = event;
    }
    queueLength = kept;
    return true;
}

void showWindow(WindowHandle window) {
    if (window != liveWindow()) return;
    showCanvas();
    fitCanvas();
}

void bringWindowToFront(WindowHandle) {}

void capturePointer(WindowHandle window) {
    if (window == liveWindow()) setPointerCapture(1);
}

void releasePointer() {
    if (liveWindow()) setPointerCapture(0);
}

void giveKeyboardFocus(WindowHandle window) {
    if (window == liveWindow()) focusCanvas();
}

DeviceContextHandle getDeviceContext(WindowHandle window) {
    return window == liveWindow() ? reinterpret_cast<DeviceContextHandle>(window) : nullptr;
}

bool releaseDeviceContext(WindowHandle window, DeviceContextHandle deviceContext) {
    return window && reinterpret_cast<WindowHandle>(deviceContext) == window;
}

// WebGL always draws double-buffered RGBA to its canvas; what can be asked is
// whether there is a depth buffer.
int choosePixelFormat(DeviceContextHandle deviceContext, const PixelFormatRequest& request) {
    if (!deviceContext || !request.supportOpenGl || !request.rgba || !request.drawToWindow ||
        request.stencilBits > 8 || request.accumulationBits > 0 || request.auxiliaryBuffers > 0 ||
        request.depthBits > 24) {
        noteError("WebGL offers no such pixel format");
        return 0;
    }
    return 1;
}

bool setPixelFormat(DeviceContextHandle deviceContext, int format, const PixelFormatRequest& request) {
    PlatformWindow* window = reinterpret_cast<PlatformWindow*>(deviceContext);
    if (window != liveWindow() || format != 1 || window->formatSet) {
        noteError("the canvas's pixel format is set already");
        return false;
    }
    window->formatSet = true;
    window->depth = request.depthBits > 0;
    return true;
}

RenderContextHandle createRenderContext(DeviceContextHandle deviceContext) {
    PlatformWindow* window = reinterpret_cast<PlatformWindow*>(deviceContext);
    if (window != liveWindow() || !window->formatSet) {
        noteError("the canvas has no pixel format");
        return nullptr;
    }
    EmscriptenWebGLContextAttributes attributes;
    emscripten_webgl_init_context_attributes(&attributes);
    attributes.alpha = EM_FALSE;  // an opaque window, whatever the clear colour's alpha
    attributes.depth = window->depth;
    attributes.stencil = EM_FALSE;
    attributes.antialias = EM_FALSE;
    attributes.majorVersion = 1;
    const EMSCRIPTEN_WEBGL_CONTEXT_HANDLE context = emscripten_webgl_create_context(canvasSelector, &attributes);
    if (context <= 0) {
        noteError("this browser offers no WebGL");
        return nullptr;
    }
    return reinterpret_cast<RenderContextHandle>((intptr_t)context);
}

bool makeContextCurrent(DeviceContextHandle, RenderContextHandle renderContext) {
    const int context = (int)reinterpret_cast<intptr_t>(renderContext);
    if (emscripten_webgl_make_context_current(context) != EMSCRIPTEN_RESULT_SUCCESS) {
        noteError("the WebGL context cannot be made current");
        return false;
    }
    if (useWebglContext(context)) return true;
    noteError("the browser's WebGL cannot run the program's shader");
    return false;
}

bool makeNoContextCurrent() { return emscripten_webgl_make_context_current(0) == EMSCRIPTEN_RESULT_SUCCESS; }

bool deleteRenderContext(RenderContextHandle renderContext) {
    const int context = (int)reinterpret_cast<intptr_t>(renderContext);
    forgetWebglContext(context);
    return emscripten_webgl_destroy_context(context) == EMSCRIPTEN_RESULT_SUCCESS;
}

// The browser shows what was drawn once the program lets it run: until the
// next animation frame, so the frame rate is the display's.
void presentFrame(DeviceContextHandle) {
    waitForAnimationFrame(1);
    presentedSincePoll = true;
}

// --- Display ---------------------------------------------------------------------

bool changeDisplayMode(int, int, int) {
    noteError("a page cannot change the display mode; the browser's full screen shows the canvas larger");
    return false;
}

void restoreDisplayMode() {}
void hideCursor() { setCanvasCursor(1); }
void showCursor() { setCanvasCursor(0); }

// --- Message boxes -----------------------------------------------------------------

WindowHandle windowWithKeyboardFocus() { return canvasHasFocus() ? liveWindow() : nullptr; }

// The browser's boxes have no caption: it heads the text. They block the page
// until answered, as the program expects of a box.
MessageAnswer showMessageBox(WindowHandle, const char* text, const char* caption, MessageIcon,
                             MessageButtons buttons) {
    static char said[1024];
    std::snprintf(said, sizeof said, "%s\n\n%s", caption, text);
    const int answer = browserBox(said, buttons == messageButtonsYesNo);
    if (answer < 0) reportUnshownBox(caption, text);
    if (buttons == messageButtonsYesNo) return answer == 1 ? messageAnswerYes : messageAnswerNo;
    return messageAnswerOk;
}

const char* windowSystemError() { return lastError[0] ? lastError : "the browser gave no reason"; }
