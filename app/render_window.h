#pragma once
// render_window.h -- the one render window and its OpenGL context: creation,
// teardown, viewport and the window's message handler.

#include "platform/window_system.h"

struct AppWindowState {
    WindowHandle windowHandle;
    DeviceContextHandle deviceContext;  // presented by the main loop
    RenderContextHandle renderContext;  // current on the one thread while the window exists
    ModuleHandle instance;              // owner of the window class
    unsigned char active;               // not minimised: the loop draws and honours Escape
    unsigned char fullscreen;           // uses, or asked for, a full-screen display mode
};
extern AppWindowState AppWindow;  // active at start, everything else none/false

extern const char* const windowClassName;  // "OpenGL"

// Handed to both the choice and the setting of the pixel format; colourBits is
// the caller's, the rest fixed (double-buffered RGBA, 16-bit depth, nothing else).
extern PixelFormatRequest pixelFormatRequest;

// Builds class, window, device context, pixel format and a current rendering
// context, shows the window, sets the viewport and resets the scene. On failure
// shows the reason (caption "ERROR"), tears down what was built and returns false.
bool openRenderWindow(const char* title, int width, int height, int bits, bool fullscreen);

// Tears down whatever exists, in reverse order of creation; each failure is
// reported (caption "SHUTDOWN ERROR") and the teardown goes on.
void closeRenderWindow();

// Viewport and a 45-degree perspective for a client area; height 0 counts as 1.
// Needs the rendering context current to have any effect.
void resizeViewport(int width, int height);

intptr_t handleWindowMessage(WindowHandle window, WindowMessage message, uintptr_t first,
                             intptr_t second);
