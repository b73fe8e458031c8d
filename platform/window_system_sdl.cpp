// window_system_sdl.cpp -- the window-system operations on SDL2. Maps each one
// onto a few SDL calls and decides nothing: the order of creation, teardown
// and every message belong to the callers.
//
// How the Windows notions map:
// - window class: a flag over the SDL video subsystem, which the first
//   registration starts; registering or unregistering twice fails as on Windows.
// - device context: the window itself, seen as a GL drawable.
// - pixel format: SDL fixes a window's GL visual when the window is made, so
//   choosing sets the GL attributes (and fails without OpenGL support), and
//   setting re-makes the still hidden window as a GL window with them (and
//   fails when no visual matches).
// - key codes: SDL keycodes become Windows virtual-key codes; Alt-held keys and
//   F10 arrive as system keys; the keypad gives navigation codes with NumLock
//   off and numpad codes with it on.
// - key-ups: only real releases (see "Key events SDL makes up" below).

#include "platform/window_system.h"

#include <SDL.h>

// CLOTHSIM_X11_NONE builds the layer as if SDL had no X11 support.
#if defined(SDL_VIDEO_DRIVER_X11) && !defined(CLOTHSIM_X11_NONE)
#define CLOTHSIM_X11 1
#include <SDL_syswm.h>
#else
#define CLOTHSIM_X11 0
#endif

#include "platform/key_codes.h"
#include "platform/terminal_output.h"

struct PlatformModule {
    int unused;
};

struct PlatformDrawable {
    PlatformWindow* window;
};

struct PlatformWindow {
    SDL_Window* window;
    Uint32 windowId;
    Uint32 flags;  // without SDL_WINDOW_OPENGL until the pixel format is set
    PlatformDrawable drawable;
    char title[256];  // given to the GL window only, so no stand-in carries it
};

static PlatformModule programModuleRecord;
static bool classRegistered;
static WindowMessageHandler classHandler;
// One render window at a time; events of any other SDL window are not ours.
static PlatformWindow windowRecord;
static PlatformWindow* currentWindow;
static bool quitPosted;
static int quitExitCode;
static bool displayModeWanted;
static bool videoStarted;
static bool glLibraryLoaded;
static SDL_DisplayMode wantedDisplayMode;

static int SDLCALL filterMadeUpKeys(void*, SDL_Event* event);
static bool destroyingWindow;  // the key-ups SDL sends meanwhile are made up

ModuleHandle programModule() { return &programModuleRecord; }

// Starts SDL's video once for the whole run: starting it again for every new
// window (F1) reconnects to the display each time, and SDL may then settle on
// another video driver without a word. False, with the reason set, when there is
// no display to be had.
static bool startVideo() {
    const char* asked = SDL_GetHint(SDL_HINT_VIDEODRIVER);
    const char* x = SDL_getenv("DISPLAY");
    const char* wayland = SDL_getenv("WAYLAND_DISPLAY");
    const bool chosen = asked && *asked, haveX = x && *x, haveWayland = wayland && *wayland;
    if (!chosen && !haveX && !haveWayland) {
        SDL_SetError("no display (DISPLAY is not set)");
        return false;
    }
    // Only X is named: trying Wayland as well would only add libwayland's complaints.
    if (!chosen && !haveWayland) SDL_SetHint(SDL_HINT_VIDEODRIVER, "x11");
    // Before 2.28.5 SDL's Wayland windows leave their libdecor frame behind when
    // destroyed, and its next configure event (after F1, say) crashes in SDL.
    // Without libdecor the window has the compositor's decorations, or none.
    SDL_version linked;
    SDL_GetVersion(&linked);
    if (SDL_VERSIONNUM(linked.major, linked.minor, linked.patch) < SDL_VERSIONNUM(2, 28, 5))
        SDL_SetHintWithPriority("SDL_VIDEO_WAYLAND_ALLOW_LIBDECOR", "0", SDL_HINT_DEFAULT);
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        char reason[256];
        SDL_strlcpy(reason, SDL_GetError(), sizeof reason);
        if (chosen || !haveX || haveWayland)
            SDL_SetError("no display (%s)", reason);
        else
            SDL_SetError("cannot open display %s (%s)", x, reason);
        return false;
    }
    // Left to choose, SDL falls back to drivers that show nothing: the program
    // would run with no window and no way to end it.
    const char* driver = SDL_GetCurrentVideoDriver();
    if (!chosen && driver &&
        (SDL_strcmp(driver, "offscreen") == 0 || SDL_strcmp(driver, "dummy") == 0 ||
         SDL_strcmp(driver, "evdev") == 0)) {
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        SDL_SetError("no display (SDL found only its %s driver, which shows nothing)", driver);
        return false;
    }
    SDL_DisableScreenSaver();  // also keeps the monitor from powering down
    SDL_StopTextInput();       // only key codes are wanted, no text events
#if CLOTHSIM_X11
    if (driver && SDL_strcmp(driver, "x11") == 0) SDL_EventState(SDL_SYSWMEVENT, SDL_ENABLE);
#endif
    SDL_SetEventFilter(filterMadeUpKeys, nullptr);
    return true;
}

bool registerWindowClass(const char*, WindowMessageHandler handler, ModuleHandle) {
    if (classRegistered) {
        SDL_SetError("the window class is registered already");
        return false;
    }
    if (!videoStarted && !(videoStarted = startVideo())) return false;
    classRegistered = true;
    classHandler = handler;
    return true;
}

bool unregisterWindowClass(const char*, ModuleHandle) {
    if (!classRegistered) return false;
    classRegistered = false;
    classHandler = nullptr;
    return true;
}

// SDL sizes windows by their client area; the frame is the window manager's.
WindowRect outerWindowRect(WindowRect client, WindowStyle) { return client; }

static SDL_Window* makeSdlWindow(const char* title, int x, int y, int width, int height,
                                 Uint32 flags) {
    SDL_Window* window = SDL_CreateWindow(title, x, y, width, height, flags);
    if (window && (flags & SDL_WINDOW_FULLSCREEN) && displayModeWanted)
        SDL_SetWindowDisplayMode(window, &wantedDisplayMode);
    return window;
}

WindowHandle createWindow(const char*, const char* title, WindowStyle style, int x, int y,
                          int width, int height, ModuleHandle) {
    if (!classRegistered || currentWindow) return nullptr;
    Uint32 flags = SDL_WINDOW_HIDDEN;
    if (style == windowStyleOverlapped) flags |= SDL_WINDOW_RESIZABLE;
    if (style == windowStylePopup) flags |= SDL_WINDOW_BORDERLESS | SDL_WINDOW_FULLSCREEN;
    SDL_Window* window = makeSdlWindow("", x, y, width, height, flags);
    if (!window) return nullptr;
    windowRecord = PlatformWindow{window, SDL_GetWindowID(window), flags, {&windowRecord}, {}};
    SDL_strlcpy(windowRecord.title, title, sizeof windowRecord.title);
    currentWindow = &windowRecord;
    return currentWindow;
}

bool destroyWindow(WindowHandle window) {
    if (!window || window != currentWindow) return false;
    destroyingWindow = true;
    SDL_DestroyWindow(window->window);
    destroyingWindow = false;
    *window = PlatformWindow{};
    currentWindow = nullptr;
    return true;
}

void showWindow(WindowHandle window) {
    if (window) SDL_ShowWindow(window->window);
}

void bringWindowToFront(WindowHandle window) {
    if (window) SDL_RaiseWindow(window->window);
}

void giveKeyboardFocus(WindowHandle window) {
    if (window) SDL_SetWindowInputFocus(window->window);
}

// SDL captures the window with the keyboard focus; it then reports every move
// and the release, wherever the pointer is.
void capturePointer(WindowHandle window) {
    if (window) SDL_CaptureMouse(SDL_TRUE);
}

void releasePointer() { SDL_CaptureMouse(SDL_FALSE); }

DeviceContextHandle getDeviceContext(WindowHandle window) {
    if (!window || window != currentWindow) return nullptr;
    return &window->drawable;
}

bool releaseDeviceContext(WindowHandle window, DeviceContextHandle deviceContext) {
    return window && deviceContext == &window->drawable;
}

static bool setGlAttribute(SDL_GLattr attribute, int value) {
    return SDL_GL_SetAttribute(attribute, value) == 0;
}

int choosePixelFormat(DeviceContextHandle deviceContext, const PixelFormatRequest& request) {
    if (!deviceContext || !request.supportOpenGl || !request.drawToWindow || !request.rgba)
        return 0;
    // Fails when the video driver has no OpenGL at all.
    if (!glLibraryLoaded) {
        if (SDL_GL_LoadLibrary(nullptr) != 0) return 0;
        glLibraryLoaded = true;
    }
    // 16 bits is 5/6/5; otherwise the bits are shared out evenly.
    int red = request.colourBits / 3;
    int green = request.colourBits - 2 * red;
    int blue = red;
    if (request.colourBits == 16) red = 5, green = 6, blue = 5;
    int accumulation = request.accumulationBits / 4;
    bool ok = setGlAttribute(SDL_GL_RED_SIZE, red) && setGlAttribute(SDL_GL_GREEN_SIZE, green) &&
              setGlAttribute(SDL_GL_BLUE_SIZE, blue) &&
              setGlAttribute(SDL_GL_ALPHA_SIZE, request.alphaBits) &&
              setGlAttribute(SDL_GL_DEPTH_SIZE, request.depthBits) &&
              setGlAttribute(SDL_GL_STENCIL_SIZE, request.stencilBits) &&
              setGlAttribute(SDL_GL_ACCUM_RED_SIZE, accumulation) &&
              setGlAttribute(SDL_GL_ACCUM_GREEN_SIZE, accumulation) &&
              setGlAttribute(SDL_GL_ACCUM_BLUE_SIZE, accumulation) &&
              setGlAttribute(SDL_GL_ACCUM_ALPHA_SIZE, accumulation) &&
              setGlAttribute(SDL_GL_DOUBLEBUFFER, request.doubleBuffer ? 1 : 0) &&
              // A 1.x context with no profile: the legacy context, where
              // fixed-function GL 1.1 is all there.
              setGlAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 1) &&
              setGlAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 1) &&
              setGlAttribute(SDL_GL_CONTEXT_PROFILE_MASK, 0) &&
              setGlAttribute(SDL_GL_CONTEXT_FLAGS, 0);
    return ok ? 1 : 0;
}

bool setPixelFormat(DeviceContextHandle deviceContext, int format, const PixelFormatRequest&) {
    if (!deviceContext || format != 1) return false;
    PlatformWindow* record = deviceContext->window;
    if (record->flags & SDL_WINDOW_OPENGL) return false;  // a format is set once per window
    int x, y, width, height;
    SDL_GetWindowPosition(record->window, &x, &y);
    SDL_GetWindowSize(record->window, &width, &height);
    Uint32 flags = record->flags | SDL_WINDOW_OPENGL;
    SDL_Window* window = makeSdlWindow(record->title, x, y, width, height, flags);
    if (!window) return false;
    SDL_DestroyWindow(record->window);
    record->window = window;
    record->windowId = SDL_GetWindowID(window);
    record->flags = flags;
    return true;
}

RenderContextHandle createRenderContext(DeviceContextHandle deviceContext) {
    if (!deviceContext || !(deviceContext->window->flags & SDL_WINDOW_OPENGL)) return nullptr;
    return static_cast<RenderContextHandle>(SDL_GL_CreateContext(deviceContext->window->window));
}

bool makeContextCurrent(DeviceContextHandle deviceContext, RenderContextHandle renderContext) {
    if (!deviceContext || !renderContext) return false;
    return SDL_GL_MakeCurrent(deviceContext->window->window, renderContext) == 0;
}

bool makeNoContextCurrent() { return SDL_GL_MakeCurrent(nullptr, nullptr) == 0; }

bool deleteRenderContext(RenderContextHandle renderContext) {
    if (!renderContext) return false;
    SDL_GL_DeleteContext(renderContext);
    return true;
}

void presentFrame(DeviceContextHandle deviceContext) {
    if (deviceContext) SDL_GL_SwapWindow(deviceContext->window->window);
}

// Displays no longer offer 16 bits a pixel, a Windows notion: the mode of the
// size asked for whose depth is nearest to the one asked for will do.
bool changeDisplayMode(int width, int height, int bitsPerPixel) {
    if (!classRegistered) return false;
    int nearest = -1;
    for (int m = 0; m < SDL_GetNumDisplayModes(0); ++m) {
        SDL_DisplayMode mode;
        if (SDL_GetDisplayMode(0, m, &mode) != 0 || mode.w != width || mode.h != height) continue;
        int distance = SDL_abs((int)SDL_BITSPERPIXEL(mode.format) - bitsPerPixel);
        if (nearest >= 0 && distance >= nearest) continue;
        nearest = distance;
        wantedDisplayMode = mode;
    }
    if (nearest < 0) {
        SDL_SetError("the display offers no %d x %d mode", width, height);
        return false;
    }
    displayModeWanted = true;
    return true;
}

void restoreDisplayMode() {
    if (currentWindow && (currentWindow->flags & SDL_WINDOW_FULLSCREEN))
        SDL_SetWindowFullscreen(currentWindow->window, 0);
    displayModeWanted = false;
}

void hideCursor() { SDL_ShowCursor(SDL_DISABLE); }
void showCursor() { SDL_ShowCursor(SDL_ENABLE); }

// --- Events ---------------------------------------------------------------

// Key events SDL makes up. When its keyboard focus goes to no window (a
// window of ours loses the keyboard, or is destroyed with it), SDL releases
// every key it holds down, and it later drops the real release of such a key:
// to SDL it is up already. On Windows neither happens: a window without the
// keyboard gets no key-up, and the real release reaches whichever window has
// the keyboard then. So made-up key-ups are not passed on, and the real
// release is brought back.
// Under X each real key event is an X event first, and SDL queues the two in
// order, with nothing between. Once that order has been seen, an SDL key-up
// with no X release right before it is made up, and an X release that SDL is
// about to drop stands for the key-up itself, its key known from the last press
// of the same X key code. Until the order has been seen, nothing is dropped.
// Without X (Wayland), the key-ups SDL sends while destroyWindow destroys a
// window, or queues right before a focus loss, are made up; their keys are put
// back down in SDL's own state, where the real release finds them. All but the
// last key pressed: that one ended the window (F1) and is let go at once, often
// before a new window has the keyboard, and SDL would swallow its next press.
static bool xOrderSeen;
static SDL_Scancode lastPressed;
#if CLOTHSIM_X11
static SDL_Keysym keyOfXKeyCode[256];  // from each X key code's last press
static int xKeyEventJustQueued;        // KeyPress or KeyRelease, 0 after anything else
static unsigned xKeyCodeJustQueued;

// 1 or 0: pass the event on or drop it; -1: no X matter.
static int filterXKeys(SDL_Event* event) {
    int justQueued = xKeyEventJustQueued;
    xKeyEventJustQueued = 0;
    if (event->type == SDL_SYSWMEVENT) {
        const SDL_SysWMmsg* message = event->syswm.msg;
        if (!message || message->subsystem != SDL_SYSWM_X11) return 0;
        const XEvent& x = message->msg.x11.event;
        if (x.type != KeyPress && x.type != KeyRelease) return 0;
        unsigned xKeyCode = x.xkey.keycode & 0xFF;
        const SDL_Keysym& key = keyOfXKeyCode[xKeyCode];
        if (xOrderSeen && x.type == KeyRelease && key.sym != SDLK_UNKNOWN &&
            !SDL_GetKeyboardState(nullptr)[key.scancode])
            return 1;
        xKeyEventJustQueued = x.type;
        xKeyCodeJustQueued = xKeyCode;
        return 0;
    }
    if (event->type == SDL_KEYDOWN && justQueued == KeyPress) {
        xOrderSeen = true;
        keyOfXKeyCode[xKeyCodeJustQueued] = event->key.keysym;
    }
    if (event->type != SDL_KEYUP || !xOrderSeen) return -1;
    return justQueued == KeyRelease;
}
#endif

// SDL hands its state out as const: undoing its own release is what this is for.
static bool dropMadeUp(const SDL_Event& keyUp) {
    SDL_Scancode key = keyUp.key.keysym.scancode;
    if (key == lastPressed) return false;
    ((Uint8*)SDL_GetKeyboardState(nullptr))[key] = 1;
    return true;
}

static int SDLCALL filterMadeUpKeys(void*, SDL_Event* event) {
#if CLOTHSIM_X11
    int x = filterXKeys(event);
    if (x >= 0) return x;
#endif
    if (event->type == SDL_KEYDOWN) lastPressed = event->key.keysym.scancode;
    if (event->type == SDL_KEYUP && destroyingWindow) return !dropMadeUp(*event);
    return 1;
}

// Whether the key-up just taken is one of those queued right before a focus loss.
static bool madeUpBeforeFocusLoss() {
    if (xOrderSeen) return false;
    SDL_Event next[16];
    int count = SDL_PeepEvents(next, 16, SDL_PEEKEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT);
    for (int k = 0; k < count; ++k)
        if (next[k].type != SDL_KEYUP)
            return next[k].type == SDL_WINDOWEVENT && next[k].window.event == SDL_WINDOWEVENT_FOCUS_LOST;
    return false;
}

// Keypad 0 .. 9 with NumLock off, as Windows reports them.
static const int keypadNavigation[10] = {keyInsert, keyEnd,   keyDown, keyPageDown, keyLeft,
                                         keyClear,  keyRight, keyHome, keyUp,       keyPageUp};

static int keypadDigit(SDL_Keycode key) {
    if (key >= SDLK_KP_1 && key <= SDLK_KP_9) return 1 + (key - SDLK_KP_1);
    return key == SDLK_KP_0 ? 0 : -1;
}

static int virtualKeyCode(SDL_Keycode key, Uint16 mod) {
    bool numLock = (mod & KMOD_NUM) != 0;
    int digit = keypadDigit(key);
    if (digit >= 0) return numLock ? keyNumpad0 + digit : keypadNavigation[digit];
    if (key == SDLK_KP_PERIOD && !numLock) return keyDelete;
    if (key >= SDLK_a && key <= SDLK_z) return keyLetterA + (key - SDLK_a);
    if (key >= SDLK_0 && key <= SDLK_9) return keyDigit0 + (key - SDLK_0);
    if (key >= SDLK_F1 && key <= SDLK_F12) return keyF1 + (key - SDLK_F1);
    if (key >= SDLK_F13 && key <= SDLK_F24) return keyF1 + 12 + (key - SDLK_F13);
    switch (key) {
    case SDLK_ESCAPE: return keyEscape;
    case SDLK_PAGEUP: return keyPageUp;
    case SDLK_PAGEDOWN: return keyPageDown;
    case SDLK_END: return keyEnd;
    case SDLK_HOME: return keyHome;
    case SDLK_LEFT: return keyLeft;
    case SDLK_UP: return keyUp;
    case SDLK_RIGHT: return keyRight;
    case SDLK_DOWN: return keyDown;
    case SDLK_INSERT: return keyInsert;
    case SDLK_DELETE: return keyDelete;
    case SDLK_BACKSPACE: return keyBackspace;
    case SDLK_TAB: return keyTab;
    case SDLK_RETURN: case SDLK_KP_ENTER: return keyReturn;
    case SDLK_SPACE: return keySpace;
    case SDLK_PAUSE: return keyPause;
    case SDLK_CAPSLOCK: return keyCapsLock;
    case SDLK_LSHIFT: case SDLK_RSHIFT: return keyShift;
    case SDLK_LCTRL: case SDLK_RCTRL: return keyControl;
    case SDLK_LALT: case SDLK_RALT: return keyAlt;
    default: return -1;
    }
}

static WindowEvent otherEvent() { return WindowEvent{currentWindow, windowMessageOther, 0, 0}; }

static WindowEvent activateEvent(uintptr_t state, bool minimised) {
    return WindowEvent{currentWindow, windowMessageActivate,
                       state | (minimised ? (uintptr_t)1 << 16 : 0), 0};
}

static WindowEvent keyEvent(SDL_Keycode key, Uint16 mod, bool down) {
    int code = virtualKeyCode(key, mod);
    if (code < 0) return otherEvent();
    bool system = (mod & KMOD_ALT) || code == keyF10 || code == keyAlt;
    WindowMessage message = system
                                ? (down ? windowMessageSystemKeyDown : windowMessageSystemKeyUp)
                                : (down ? windowMessageKeyDown : windowMessageKeyUp);
    return WindowEvent{currentWindow, message, (uintptr_t)code, 0};
}

// The left button (SDL makes a finger on a touch screen the left button) and
// the wheel; the other buttons are default processing, as on Windows.
static WindowEvent pointerEvent(const SDL_Event& sdl) {
    switch (sdl.type) {
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
        if (sdl.button.button != SDL_BUTTON_LEFT) return otherEvent();
        return WindowEvent{currentWindow, sdl.type == SDL_MOUSEBUTTONDOWN ? windowMessageButtonDown : windowMessageButtonUp,
                           sdl.type == SDL_MOUSEBUTTONDOWN ? pointerButtonPrimary : 0,
                           pointerPosition(sdl.button.x, sdl.button.y)};
    case SDL_MOUSEMOTION:
        return WindowEvent{currentWindow, windowMessagePointerMove,
                           (sdl.motion.state & SDL_BUTTON_LMASK) ? pointerButtonPrimary : 0,
                           pointerPosition(sdl.motion.x, sdl.motion.y)};
    default: {
        // Turned away from the user is positive, whichever way the system scrolls.
        float notches = sdl.wheel.preciseY;
        if (sdl.wheel.direction == SDL_MOUSEWHEEL_FLIPPED) notches = -notches;
        const int turned = (int)SDL_roundf(notches * wheelNotch);
        return WindowEvent{currentWindow, windowMessageWheel, (uintptr_t)(uint16_t)(int16_t)turned << 16, 0};
    }
    }
}

static WindowEvent translate(const SDL_Event& sdl) {
    if (sdl.type == SDL_KEYDOWN || sdl.type == SDL_KEYUP)
        return keyEvent(sdl.key.keysym.sym, sdl.key.keysym.mod, sdl.type == SDL_KEYDOWN);
#if CLOTHSIM_X11
    if (sdl.type == SDL_SYSWMEVENT) {
        // Only the X releases SDL drops get past the filter: a key-up, with
        // the modifiers as SDL has them now.
        unsigned xKeyCode = sdl.syswm.msg->msg.x11.event.xkey.keycode & 0xFF;
        return keyEvent(keyOfXKeyCode[xKeyCode].sym, SDL_GetModState(), false);
    }
#endif
    if (sdl.type == SDL_QUIT) {
        // A signal or the last window closing: the same request as the close button.
        return WindowEvent{currentWindow, windowMessageClose, 0, 0};
    }
    if ((sdl.type == SDL_MOUSEBUTTONDOWN || sdl.type == SDL_MOUSEBUTTONUP) && currentWindow &&
        sdl.button.windowID == currentWindow->windowId)
        return pointerEvent(sdl);
    if (sdl.type == SDL_MOUSEMOTION && currentWindow && sdl.motion.windowID == currentWindow->windowId)
        return pointerEvent(sdl);
    if (sdl.type == SDL_MOUSEWHEEL && currentWindow && sdl.wheel.windowID == currentWindow->windowId)
        return pointerEvent(sdl);
    if (sdl.type != SDL_WINDOWEVENT || !currentWindow || sdl.window.windowID != currentWindow->windowId)
        return otherEvent();

    bool minimised = (SDL_GetWindowFlags(currentWindow->window) & SDL_WINDOW_MINIMIZED) != 0;
    switch (sdl.window.event) {
    case SDL_WINDOWEVENT_MINIMIZED: return activateEvent(activateInactive, true);
    case SDL_WINDOWEVENT_RESTORED: return activateEvent(activateActive, false);
    case SDL_WINDOWEVENT_FOCUS_GAINED: return activateEvent(activateActive, minimised);
    case SDL_WINDOWEVENT_FOCUS_LOST: return activateEvent(activateInactive, minimised);
    case SDL_WINDOWEVENT_CLOSE: return WindowEvent{currentWindow, windowMessageClose, 0, 0};
    case SDL_WINDOWEVENT_SIZE_CHANGED: {
        int width = 0, height = 0;
        SDL_GL_GetDrawableSize(currentWindow->window, &width, &height);
        uintptr_t size = ((uintptr_t)(height & 0xFFFF) << 16) | (uintptr_t)(width & 0xFFFF);
        return WindowEvent{currentWindow, windowMessageSize, 0, (intptr_t)size};
    }
    default: return otherEvent();
    }
}

bool takeEvent(WindowEvent* event) {
    if (quitPosted) {
        quitPosted = false;
        *event = WindowEvent{nullptr, windowMessageQuit, (uintptr_t)quitExitCode, 0};
        return true;
    }
    SDL_Event sdl;
    while (classRegistered && SDL_PollEvent(&sdl)) {
        if (sdl.type == SDL_KEYUP && madeUpBeforeFocusLoss() && dropMadeUp(sdl)) continue;
        *event = translate(sdl);
        return true;
    }
    return false;
}

void dispatchEvent(const WindowEvent& event) {
    if (classHandler && event.window)
        classHandler(event.window, event.message, event.first, event.second);
}

intptr_t defaultWindowMessage(WindowHandle, WindowMessage, uintptr_t, intptr_t) { return 0; }

void postQuitEvent(int exitCode) {
    quitPosted = true;
    quitExitCode = exitCode;
}

// --- Message boxes -----------------------------------------------------------

const char* windowSystemError() { return SDL_GetError(); }

WindowHandle windowWithKeyboardFocus() {
    // SDL learns of focus changes only while pumping; pumping queues events and
    // dispatches none.
    SDL_PumpEvents();
    SDL_Window* focus = SDL_GetKeyboardFocus();
    return currentWindow && focus && focus == currentWindow->window ? currentWindow : nullptr;
}

// SDL's box returns only once it is closed and dispatches nothing of ours
// meanwhile (under X it even runs on a display connection of its own).
MessageAnswer showMessageBox(WindowHandle owner, const char* text, const char* caption,
                             MessageIcon icon, MessageButtons buttons) {
    Uint32 flags = 0;
    if (icon == messageIconWarning) flags = SDL_MESSAGEBOX_WARNING;
    if (icon == messageIconStop) flags = SDL_MESSAGEBOX_ERROR;
    if (icon == messageIconInformation) flags = SDL_MESSAGEBOX_INFORMATION;

    const SDL_MessageBoxButtonData okButtons[] = {
        {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT | SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT,
         messageAnswerOk, "OK"},
    };
    const SDL_MessageBoxButtonData yesNoButtons[] = {
        {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, messageAnswerYes, "Yes"},
        {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, messageAnswerNo, "No"},
    };
    SDL_MessageBoxData box = {};
    box.flags = flags;
    box.window = owner ? owner->window : nullptr;
    box.title = caption;
    box.message = text;
    if (buttons == messageButtonsYesNo) {
        box.numbuttons = 2;
        box.buttons = yesNoButtons;
    } else {
        box.numbuttons = 1;
        box.buttons = okButtons;
    }
    int pressed = -1;
    if (SDL_ShowMessageBox(&box, &pressed) != 0) {
        // No display or no font.
        reportUnshownBox(caption, text);
        // As when the platform's own box fails: nothing said Yes.
        return buttons == messageButtonsYesNo ? messageAnswerNo : messageAnswerOk;
    }
    if (buttons == messageButtonsYesNo) return pressed == messageAnswerYes ? messageAnswerYes : messageAnswerNo;
    return messageAnswerOk;
}
