// window_system_win32.cpp -- the window-system operations on Win32, WGL and
// GDI, each the call the design names. Decides nothing: the order of
// creation, teardown and every message belong to the callers.
//
// The seam's handles are the Win32 handles themselves (HINSTANCE, HWND, HDC,
// HGLRC). The window procedure turns Windows' messages into the seam's and
// calls the class's handler; what the handler leaves to default processing
// goes back to DefWindowProc as the message it came as.

#include "platform/window_system.h"

#include "platform/terminal_output.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

static WindowMessageHandler classHandler;
// The message the window procedure is handling, for defaultWindowMessage.
static const MSG* handling;
// The message takeEvent took last: dispatchEvent hands it to DispatchMessage.
static MSG taken;
static bool takenPending;
static char lastError[256];

static HWND hwnd(WindowHandle window) { return reinterpret_cast<HWND>(window); }
static WindowHandle ours(HWND window) { return reinterpret_cast<WindowHandle>(window); }

static WindowMessage seamMessage(UINT message) {
    switch (message) {
    case WM_ACTIVATE: return windowMessageActivate;
    case WM_SYSCOMMAND: return windowMessageSystemCommand;
    case WM_CLOSE: return windowMessageClose;
    case WM_KEYDOWN: return windowMessageKeyDown;
    case WM_KEYUP: return windowMessageKeyUp;
    case WM_SYSKEYDOWN: return windowMessageSystemKeyDown;
    case WM_SYSKEYUP: return windowMessageSystemKeyUp;
    case WM_SIZE: return windowMessageSize;
    case WM_QUIT: return windowMessageQuit;
    case WM_LBUTTONDOWN: return windowMessageButtonDown;
    case WM_LBUTTONUP: return windowMessageButtonUp;
    case WM_MOUSEMOVE: return windowMessagePointerMove;
    case WM_MOUSEWHEEL: return windowMessageWheel;
    case WM_CAPTURECHANGED: return windowMessageCaptureLost;
    default: return windowMessageOther;
    }
}

// The parameters are packed as the seam's are: the same as Windows'.
static LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM first, LPARAM second) {
    if (!classHandler) return DefWindowProcA(window, message, first, second);
    const MSG current = {window, message, first, second, 0, {0, 0}};
    const MSG* outer = handling;
    handling = &current;
    const LRESULT result = classHandler(ours(window), seamMessage(message), first, second);
    handling = outer;
    return result;
}

intptr_t defaultWindowMessage(WindowHandle window, WindowMessage, uintptr_t, intptr_t) {
    if (!handling || handling->hwnd != hwnd(window)) return 0;
    return DefWindowProcA(handling->hwnd, handling->message, handling->wParam, handling->lParam);
}

ModuleHandle programModule() { return reinterpret_cast<ModuleHandle>(GetModuleHandleA(nullptr)); }

bool registerWindowClass(const char* className, WindowMessageHandler handler, ModuleHandle module) {
    WNDCLASSA windowClass = {};
    windowClass.style = CS_HREDRAW | CS_VREDRAW | CS_OWNDC;
    windowClass.lpfnWndProc = windowProcedure;
    windowClass.hInstance = reinterpret_cast<HINSTANCE>(module);
    windowClass.hIcon = LoadIcon(nullptr, IDI_WINLOGO);
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.lpszClassName = className;
    if (!RegisterClassA(&windowClass)) return false;
    classHandler = handler;
    return true;
}

bool unregisterWindowClass(const char* className, ModuleHandle module) {
    return UnregisterClassA(className, reinterpret_cast<HINSTANCE>(module)) != 0;
}

static DWORD styleOf(WindowStyle style) {
    return style == windowStylePopup ? WS_POPUP : WS_OVERLAPPEDWINDOW;
}
static DWORD extendedStyleOf(WindowStyle style) {
    return style == windowStylePopup ? WS_EX_APPWINDOW : WS_EX_APPWINDOW | WS_EX_WINDOWEDGE;
}

WindowRect outerWindowRect(WindowRect client, WindowStyle style) {
    RECT rect = {client.left, client.top, client.right, client.bottom};
    AdjustWindowRectEx(&rect, styleOf(style), FALSE, extendedStyleOf(style));
    return WindowRect{rect.left, rect.top, rect.right, rect.bottom};
}

WindowHandle createWindow(const char* className, const char* title, WindowStyle style, int x, int y,
                          int width, int height, ModuleHandle module) {
    return ours(CreateWindowExA(extendedStyleOf(style), className, title,
                                styleOf(style) | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, x, y, width, height,
                                nullptr, nullptr, reinterpret_cast<HINSTANCE>(module), nullptr));
}

bool destroyWindow(WindowHandle window) { return DestroyWindow(hwnd(window)) != 0; }
void showWindow(WindowHandle window) { ShowWindow(hwnd(window), SW_SHOW); }
void bringWindowToFront(WindowHandle window) { SetForegroundWindow(hwnd(window)); }
void giveKeyboardFocus(WindowHandle window) { SetFocus(hwnd(window)); }
void capturePointer(WindowHandle window) { SetCapture(hwnd(window)); }
void releasePointer() { ReleaseCapture(); }

DeviceContextHandle getDeviceContext(WindowHandle window) {
    return reinterpret_cast<DeviceContextHandle>(GetDC(hwnd(window)));
}

bool releaseDeviceContext(WindowHandle window, DeviceContextHandle deviceContext) {
    return ReleaseDC(hwnd(window), reinterpret_cast<HDC>(deviceContext)) != 0;
}

static PIXELFORMATDESCRIPTOR descriptor(const PixelFormatRequest& request) {
    PIXELFORMATDESCRIPTOR format = {};
    format.nSize = sizeof format;
    format.nVersion = 1;
    format.dwFlags = (request.drawToWindow ? PFD_DRAW_TO_WINDOW : 0) |
                     (request.supportOpenGl ? PFD_SUPPORT_OPENGL : 0) |
                     (request.doubleBuffer ? PFD_DOUBLEBUFFER : 0);
    format.iPixelType = request.rgba ? PFD_TYPE_RGBA : PFD_TYPE_COLORINDEX;
    format.cColorBits = (BYTE)request.colourBits;
    format.cAlphaBits = (BYTE)request.alphaBits;
    format.cAccumBits = (BYTE)request.accumulationBits;
    format.cDepthBits = (BYTE)request.depthBits;
    format.cStencilBits = (BYTE)request.stencilBits;
    format.cAuxBuffers = (BYTE)request.auxiliaryBuffers;
    format.iLayerType = PFD_MAIN_PLANE;
    return format;
}

int choosePixelFormat(DeviceContextHandle deviceContext, const PixelFormatRequest& request) {
    const PIXELFORMATDESCRIPTOR format = descriptor(request);
    return ChoosePixelFormat(reinterpret_cast<HDC>(deviceContext), &format);
}

bool setPixelFormat(DeviceContextHandle deviceContext, int format, const PixelFormatRequest& request) {
    const PIXELFORMATDESCRIPTOR wanted = descriptor(request);
    return SetPixelFormat(reinterpret_cast<HDC>(deviceContext), format, &wanted) != 0;
}

RenderContextHandle createRenderContext(DeviceContextHandle deviceContext) {
    return reinterpret_cast<RenderContextHandle>(wglCreateContext(reinterpret_cast<HDC>(deviceContext)));
}

bool makeContextCurrent(DeviceContextHandle deviceContext, RenderContextHandle renderContext) {
    return wglMakeCurrent(reinterpret_cast<HDC>(deviceContext), reinterpret_cast<HGLRC>(renderContext)) != 0;
}

bool makeNoContextCurrent() { return wglMakeCurrent(nullptr, nullptr) != 0; }

bool deleteRenderContext(RenderContextHandle renderContext) {
    return wglDeleteContext(reinterpret_cast<HGLRC>(renderContext)) != 0;
}

void presentFrame(DeviceContextHandle deviceContext) { SwapBuffers(reinterpret_cast<HDC>(deviceContext)); }

// --- Events ---------------------------------------------------------------

bool takeEvent(WindowEvent* event) {
    if (!PeekMessageA(&taken, nullptr, 0, 0, PM_REMOVE)) return false;
    takenPending = taken.message != WM_QUIT;
    *event = WindowEvent{ours(taken.hwnd), seamMessage(taken.message), (uintptr_t)taken.wParam,
                         (intptr_t)taken.lParam};
    return true;
}

// The event takeEvent took goes through TranslateMessage and DispatchMessage
// to the window procedure; one made by the caller goes to the handler directly.
void dispatchEvent(const WindowEvent& event) {
    if (takenPending && event.window == ours(taken.hwnd) && event.first == (uintptr_t)taken.wParam &&
        event.second == (intptr_t)taken.lParam && event.message == seamMessage(taken.message)) {
        takenPending = false;
        TranslateMessage(&taken);
        DispatchMessageA(&taken);
    } else if (classHandler && event.window) {
        classHandler(event.window, event.message, event.first, event.second);
    }
}

void postQuitEvent(int exitCode) { PostQuitMessage(exitCode); }

// --- Display --------------------------------------------------------------

// The mode of the size asked for whose depth is nearest the one asked for: a
// display with 32 bits a pixel has no 16-bit mode any more.
bool changeDisplayMode(int width, int height, int bitsPerPixel) {
    DEVMODEA mode = {};
    mode.dmSize = sizeof mode;
    int nearest = -1;
    DWORD depth = 0;
    for (DWORD m = 0; EnumDisplaySettingsA(nullptr, m, &mode); ++m) {
        if ((int)mode.dmPelsWidth != width || (int)mode.dmPelsHeight != height) continue;
        const int distance = (int)mode.dmBitsPerPel > bitsPerPixel ? (int)mode.dmBitsPerPel - bitsPerPixel
                                                                     : bitsPerPixel - (int)mode.dmBitsPerPel;
        if (nearest >= 0 && distance >= nearest) continue;
        nearest = distance;
        depth = mode.dmBitsPerPel;
    }
    if (nearest < 0) {
        std::snprintf(lastError, sizeof lastError, "the display offers no %d x %d mode", width, height);
        return false;
    }
    DEVMODEA wanted = {};
    wanted.dmSize = sizeof wanted;
    wanted.dmPelsWidth = (DWORD)width;
    wanted.dmPelsHeight = (DWORD)height;
    wanted.dmBitsPerPel = depth;
    wanted.dmFields = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT;
    if (ChangeDisplaySettingsA(&wanted, CDS_FULLSCREEN) == DISP_CHANGE_SUCCESSFUL) return true;
    std::snprintf(lastError, sizeof lastError, "the display cannot switch to %d x %d", width, height);
    return false;
}

void restoreDisplayMode() { ChangeDisplaySettingsA(nullptr, 0); }
void hideCursor() { ShowCursor(FALSE); }
void showCursor() { ShowCursor(TRUE); }

// --- Message boxes -----------------------------------------------------------

WindowHandle windowWithKeyboardFocus() { return ours(GetFocus()); }

// MessageBox runs a modal loop of its own that dispatches every window's
// messages meanwhile, the render window's included.
MessageAnswer showMessageBox(WindowHandle owner, const char* text, const char* caption,
                             MessageIcon icon, MessageButtons buttons) {
    UINT type = buttons == messageButtonsYesNo ? MB_YESNO : MB_OK;
    if (icon == messageIconWarning) type |= MB_ICONEXCLAMATION;
    if (icon == messageIconStop) type |= MB_ICONSTOP;
    if (icon == messageIconInformation) type |= MB_ICONINFORMATION;
    const int pressed = MessageBoxA(hwnd(owner), text, caption, type);
    if (pressed == 0) {
        reportUnshownBox(caption, text);
    }
    if (buttons == messageButtonsYesNo) return pressed == IDYES ? messageAnswerYes : messageAnswerNo;
    return messageAnswerOk;
}

// The reason this file noted itself, or Windows' for the last call that failed.
const char* windowSystemError() {
    if (lastError[0]) {
        static char noted[sizeof lastError];
        std::memcpy(noted, lastError, sizeof noted);
        lastError[0] = '\0';
        return noted;
    }
    static char text[256];
    const DWORD error = GetLastError();
    if (!FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, text,
                        sizeof text, nullptr))
        std::snprintf(text, sizeof text, "Windows error %lu", (unsigned long)error);
    for (size_t n = std::strlen(text); n > 0 && (text[n - 1] == '\n' || text[n - 1] == '\r');)
        text[--n] = '\0';
    return text;
}
