#pragma once
// window_system.h -- what the program needs from the window system. One file
// per system implements it and decides nothing: window_system_sdl.cpp on Linux,
// window_system_win32.cpp on Windows, window_system_web.cpp in a browser page;
// the tests link a recording fake instead
// (tests/fake_window_system.cpp).
// Everything runs on the one thread; the message handler is entered only from
// inside dispatchEvent, inside createWindow (Windows sends the size and
// activation there), and while a message box is open where the system
// dispatches meanwhile:
// - SDL: an open box dispatches nothing; the render window's events wait in the
//   queue until it is closed.
// - Windows: the box runs a modal loop that dispatches every window's messages,
//   the render window's included.
// - browser: alert and confirm stop the page's one thread; events wait in the
//   queue, as with SDL.

#include <cstdint>

// Opaque handles; each implementation defines the records behind them. Null
// means "none" for every kind.
struct PlatformModule;
struct PlatformWindow;
struct PlatformDrawable;
struct PlatformGlContext;
using ModuleHandle = PlatformModule*;
using WindowHandle = PlatformWindow*;
using DeviceContextHandle = PlatformDrawable*;
using RenderContextHandle = PlatformGlContext*;

// --- Message boxes ----------------------------------------------------------

enum MessageIcon { messageIconNone, messageIconWarning, messageIconStop, messageIconInformation };
enum MessageButtons { messageButtonsOk, messageButtonsYesNo };
enum MessageAnswer { messageAnswerOk, messageAnswerYes, messageAnswerNo };

// A modal message box, kept above its owner and tied to it; null owner: a box
// of its own. What is dispatched while it is open differs per system (above).
// When no box can be shown at all, caption and text go to stderr.
MessageAnswer showMessageBox(WindowHandle owner, const char* text, const char* caption,
                             MessageIcon icon, MessageButtons buttons);

// The window of ours that has the keyboard focus now; null when none has it.
WindowHandle windowWithKeyboardFocus();

// Beside a box, one line for a terminal user: "clothsim: what: why" on stderr
// ("clothsim: why" when what is empty).
void reportFailure(const char* what, const char* why);
// Why the last operation of the window system failed, in its own words; names
// the display when there is none to be had.
const char* windowSystemError();

// --- Events ---------------------------------------------------------------

// The messages the handler tells apart. Parameters are packed as on Win32, so
// the handler's bit arithmetic is the same on every window system.
enum WindowMessage {
    windowMessageOther,          // anything else: default processing
    windowMessageActivate,       // first: low 16 bits active state, high 16 bits minimised (nonzero)
    windowMessageSystemCommand,  // first: the command code
    windowMessageClose,          // the user asks the window to close
    windowMessageKeyDown,        // first: Windows virtual-key code
    windowMessageKeyUp,          // only for a key released while a window of ours has the
                                 // keyboard: losing it, or being destroyed, releases nothing
    windowMessageSystemKeyDown,  // F10, or any key while Alt is held
    windowMessageSystemKeyUp,
    windowMessageSize,           // second: low 16 bits client width, high 16 bits height, in pixels
    windowMessageQuit,           // posted by postQuitEvent; first: the exit code
    // The pointer, as Windows' left-button messages: a finger on a touch screen
    // is the primary button. second: low 16 bits x, high 16 bits y, signed, in
    // client pixels; first: the buttons held (pointerButtonPrimary).
    windowMessageButtonDown,     // the primary button pressed over the window
    windowMessageButtonUp,       // ... released; anywhere while the window has the capture
    windowMessagePointerMove,
    windowMessageWheel,          // first: high 16 bits the signed turn, wheelNotch a notch,
                                 // positive away from the user (as walking on)
    windowMessageCaptureLost,    // the pointer's capture has gone elsewhere
};

constexpr uintptr_t pointerButtonPrimary = 0x0001;
// A pointer message's second parameter for client position (x, y).
constexpr intptr_t pointerPosition(int x, int y) {
    return (intptr_t)(((uintptr_t)(uint16_t)y << 16) | (uint16_t)x);
}
constexpr int wheelNotch = 120;

constexpr uintptr_t activateInactive = 0;
constexpr uintptr_t activateActive = 1;
constexpr uintptr_t systemCommandScreenSave = 0xF140;
constexpr uintptr_t systemCommandMonitorPower = 0xF170;

struct WindowEvent {
    WindowHandle window;
    WindowMessage message;
    uintptr_t first;
    intptr_t second;
};

using WindowMessageHandler = intptr_t (*)(WindowHandle window, WindowMessage message,
                                          uintptr_t first, intptr_t second);

// Removes the next pending event into *event and returns true, or returns false
// at once when there is none. Never waits.
bool takeEvent(WindowEvent* event);
// Hands an event taken by takeEvent to the handler of its window's class.
void dispatchEvent(const WindowEvent& event);
// What the window system does with a message the handler does not act on.
intptr_t defaultWindowMessage(WindowHandle window, WindowMessage message, uintptr_t first,
                              intptr_t second);
// Makes a later takeEvent return windowMessageQuit carrying exitCode.
void postQuitEvent(int exitCode);

// --- Window and rendering context -------------------------------------------

enum WindowStyle {
    windowStyleOverlapped,  // ordinary application window: frame, resizable, maximisable
    windowStylePopup,       // borderless, for full screen
};

struct WindowRect {
    int left, top, right, bottom;
};

// What the pixel format asks for; the window system may give more, never less.
struct PixelFormatRequest {
    bool drawToWindow;
    bool supportOpenGl;
    bool doubleBuffer;
    bool rgba;            // false would be colour-index
    int colourBits;       // red + green + blue
    int alphaBits;
    int accumulationBits;
    int depthBits;
    int stencilBits;
    int auxiliaryBuffers;
};

// The program's own module, owner of the window class. Always succeeds.
ModuleHandle programModule();

// The class must be registered before a window of it is created; registering a
// class that is already registered fails, and so does unregistering one that
// is not.
bool registerWindowClass(const char* className, WindowMessageHandler handler, ModuleHandle module);
bool unregisterWindowClass(const char* className, ModuleHandle module);

// The outer rectangle a window of this style needs for the client rectangle
// given (no menu).
WindowRect outerWindowRect(WindowRect client, WindowStyle style);
// Null when the window cannot be created. The window is created hidden.
WindowHandle createWindow(const char* className, const char* title, WindowStyle style, int x,
                          int y, int width, int height, ModuleHandle module);
bool destroyWindow(WindowHandle window);
void showWindow(WindowHandle window);
void bringWindowToFront(WindowHandle window);
void giveKeyboardFocus(WindowHandle window);
// While a button is held, the pointer's messages come to this window wherever
// the pointer goes, until releasePointer (or windowMessageCaptureLost).
void capturePointer(WindowHandle window);
void releasePointer();

DeviceContextHandle getDeviceContext(WindowHandle window);
bool releaseDeviceContext(WindowHandle window, DeviceContextHandle deviceContext);

// 0 when no format fits the request; otherwise a format number for setPixelFormat.
int choosePixelFormat(DeviceContextHandle deviceContext, const PixelFormatRequest& request);
bool setPixelFormat(DeviceContextHandle deviceContext, int format,
                    const PixelFormatRequest& request);

RenderContextHandle createRenderContext(DeviceContextHandle deviceContext);
bool makeContextCurrent(DeviceContextHandle deviceContext, RenderContextHandle renderContext);
bool makeNoContextCurrent();
bool deleteRenderContext(RenderContextHandle renderContext);

// Shows the back buffer. Failures are not reported.
void presentFrame(DeviceContextHandle deviceContext);

// --- Display --------------------------------------------------------------

// Switches the display to width x height at bitsPerPixel for a full-screen
// window; false when that mode is not available.
bool changeDisplayMode(int width, int height, int bitsPerPixel);
// Back to the user's own mode.
void restoreDisplayMode();
void hideCursor();
void showCursor();
