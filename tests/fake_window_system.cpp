#include "tests/fake_window_system.h"

#include <algorithm>

struct PlatformModule {
    int unused;
};
struct PlatformWindow {
    int id;
};
struct PlatformDrawable {
    int id;
};
struct PlatformGlContext {
    int id;
};

std::vector<std::string> fakeCalls;
Messages fakeMessages;
std::vector<MessageIcon> fakeMessageIcons;
std::vector<MessageButtons> fakeMessageButtons;
std::vector<WindowHandle> fakeMessageOwners;
WindowHandle fakeFocusWindow;
MessageAnswer fakeAnswer = messageAnswerYes;
std::vector<std::string> fakeReports;
std::string fakeFailingOperation;
std::deque<WindowEvent> fakeEvents;
std::function<void(int)> fakeBeforePoll;
int fakePollLimit = 100000;
bool fakeRunaway;
bool fakeClassRegistered;
bool fakeDisplayModeChanged;
bool fakeCursorHidden;
RenderContextHandle fakeCurrentContext;
int fakeWindowsCreated;
FakeWindowRequest fakeWindowRequest;
PixelFormatRequest fakePixelFormatRequest;
int fakeDisplayMode[3];

// Enough distinct records for every window a test makes; handles are never reused.
static PlatformModule moduleRecord;
static PlatformWindow windowRecords[64];
static PlatformDrawable drawableRecords[64];
static PlatformGlContext contextRecords[64];
static PlatformWindow* liveWindow;
static PlatformDrawable* liveDrawable;
static PlatformGlContext* liveContext;
static WindowMessageHandler classHandler;
static int polls;
static bool quitPosted;
static int quitCode;

void resetFakeWindowSystem() {
    fakeCalls.clear();
    fakeMessages.clear();
    fakeMessageIcons.clear();
    fakeMessageButtons.clear();
    fakeMessageOwners.clear();
    fakeFocusWindow = nullptr;
    fakeAnswer = messageAnswerYes;
    fakeReports.clear();
    fakeFailingOperation.clear();
    fakeEvents.clear();
    fakeBeforePoll = nullptr;
    fakePollLimit = 100000;
    fakeRunaway = false;
    fakeClassRegistered = false;
    fakeDisplayModeChanged = false;
    fakeCursorHidden = false;
    fakeCurrentContext = nullptr;
    fakeWindowsCreated = 0;
    fakeWindowRequest = FakeWindowRequest{};
    fakePixelFormatRequest = PixelFormatRequest{};
    fakeDisplayMode[0] = fakeDisplayMode[1] = fakeDisplayMode[2] = 0;
    liveWindow = nullptr;
    liveDrawable = nullptr;
    liveContext = nullptr;
    classHandler = nullptr;
    polls = 0;
    quitPosted = false;
    quitCode = 0;
}

WindowEvent fakeEvent(WindowMessage message, uintptr_t first, intptr_t second) {
    return WindowEvent{liveWindow, message, first, second};
}

int fakeCallCount(const std::string& operation) {
    return (int)std::count(fakeCalls.begin(), fakeCalls.end(), operation);
}

// Records the call; true when the test asked for this operation to fail.
static bool called(const char* operation) {
    fakeCalls.push_back(operation);
    return fakeFailingOperation == operation;
}

MessageAnswer showMessageBox(WindowHandle owner, const char* text, const char* caption,
                             MessageIcon icon, MessageButtons buttons) {
    fakeCalls.push_back("showMessageBox");
    fakeMessages.emplace_back(caption, text);
    fakeMessageIcons.push_back(icon);
    fakeMessageButtons.push_back(buttons);
    fakeMessageOwners.push_back(owner);
    return buttons == messageButtonsYesNo ? fakeAnswer : messageAnswerOk;
}

WindowHandle windowWithKeyboardFocus() { return fakeFocusWindow; }

void reportFailure(const char* what, const char* why) {
    fakeReports.push_back(std::string(what) + ": " + why);
}

const char* windowSystemError() {
    static std::string error;
    error = fakeFailingOperation + " failed";
    return error.c_str();
}

bool takeEvent(WindowEvent* event) {
    fakeCalls.push_back("takeEvent");
    if (fakeBeforePoll) fakeBeforePoll(polls);
    ++polls;
    if (polls > fakePollLimit && !fakeRunaway) {
        fakeRunaway = true;
        postQuitEvent(0);
    }
    if (quitPosted) {
        quitPosted = false;
        *event = WindowEvent{nullptr, windowMessageQuit, (uintptr_t)quitCode, 0};
        return true;
    }
    if (fakeEvents.empty()) return false;
    *event = fakeEvents.front();
    fakeEvents.pop_front();
    return true;
}

void dispatchEvent(const WindowEvent& event) {
    fakeCalls.push_back("dispatchEvent");
    if (classHandler) classHandler(event.window, event.message, event.first, event.second);
}

intptr_t defaultWindowMessage(WindowHandle, WindowMessage, uintptr_t, intptr_t) {
    fakeCalls.push_back("defaultWindowMessage");
    return 0x5eed;  // tells a test the message was passed on
}

void postQuitEvent(int exitCode) {
    fakeCalls.push_back("postQuitEvent");
    quitPosted = true;
    quitCode = exitCode;
}

ModuleHandle programModule() {
    fakeCalls.push_back("programModule");
    return &moduleRecord;
}

bool registerWindowClass(const char*, WindowMessageHandler handler, ModuleHandle) {
    if (called("registerWindowClass") || fakeClassRegistered) return false;
    fakeClassRegistered = true;
    classHandler = handler;
    return true;
}

bool unregisterWindowClass(const char*, ModuleHandle) {
    if (called("unregisterWindowClass") || !fakeClassRegistered) return false;
    fakeClassRegistered = false;
    return true;
}

WindowRect outerWindowRect(WindowRect client, WindowStyle style) {
    fakeCalls.push_back("outerWindowRect");
    if (style == windowStylePopup) return client;
    // A frame of made-up thickness, so a test sees the outer size was used.
    return WindowRect{client.left - 4, client.top - 24, client.right + 4, client.bottom + 4};
}

WindowHandle createWindow(const char*, const char* title, WindowStyle style, int x, int y,
                          int width, int height, ModuleHandle) {
    fakeWindowRequest = FakeWindowRequest{title, style, x, y, width, height};
    if (called("createWindow") || !fakeClassRegistered) return nullptr;
    liveWindow = &windowRecords[fakeWindowsCreated++ % 64];
    return liveWindow;
}

bool destroyWindow(WindowHandle window) {
    if (called("destroyWindow") || window != liveWindow) return false;
    liveWindow = nullptr;
    return true;
}

void showWindow(WindowHandle) { fakeCalls.push_back("showWindow"); }
void bringWindowToFront(WindowHandle) { fakeCalls.push_back("bringWindowToFront"); }
void giveKeyboardFocus(WindowHandle) { fakeCalls.push_back("giveKeyboardFocus"); }
void capturePointer(WindowHandle) { fakeCalls.push_back("capturePointer"); }
void releasePointer() { fakeCalls.push_back("releasePointer"); }

DeviceContextHandle getDeviceContext(WindowHandle window) {
    if (called("getDeviceContext") || !window || window != liveWindow) return nullptr;
    liveDrawable = &drawableRecords[(window - windowRecords) % 64];
    return liveDrawable;
}

bool releaseDeviceContext(WindowHandle window, DeviceContextHandle deviceContext) {
    if (called("releaseDeviceContext") || !window || deviceContext != liveDrawable) return false;
    liveDrawable = nullptr;
    return true;
}

int choosePixelFormat(DeviceContextHandle deviceContext, const PixelFormatRequest& request) {
    fakePixelFormatRequest = request;
    if (called("choosePixelFormat") || !deviceContext) return 0;
    return 7;
}

bool setPixelFormat(DeviceContextHandle deviceContext, int format, const PixelFormatRequest&) {
    return !called("setPixelFormat") && deviceContext && format == 7;
}

RenderContextHandle createRenderContext(DeviceContextHandle deviceContext) {
    if (called("createRenderContext") || !deviceContext) return nullptr;
    liveContext = &contextRecords[(deviceContext - drawableRecords) % 64];
    return liveContext;
}

bool makeContextCurrent(DeviceContextHandle deviceContext, RenderContextHandle renderContext) {
    if (called("makeContextCurrent") || !deviceContext || renderContext != liveContext)
        return false;
    fakeCurrentContext = renderContext;
    return true;
}

bool makeNoContextCurrent() {
    if (called("makeNoContextCurrent")) return false;
    fakeCurrentContext = nullptr;
    return true;
}

bool deleteRenderContext(RenderContextHandle renderContext) {
    if (called("deleteRenderContext") || !renderContext || renderContext != liveContext)
        return false;
    liveContext = nullptr;
    return true;
}

void presentFrame(DeviceContextHandle) { fakeCalls.push_back("presentFrame"); }

bool changeDisplayMode(int width, int height, int bitsPerPixel) {
    fakeDisplayMode[0] = width;
    fakeDisplayMode[1] = height;
    fakeDisplayMode[2] = bitsPerPixel;
    if (called("changeDisplayMode")) return false;
    fakeDisplayModeChanged = true;
    return true;
}

void restoreDisplayMode() {
    fakeCalls.push_back("restoreDisplayMode");
    fakeDisplayModeChanged = false;
}

void hideCursor() {
    fakeCalls.push_back("hideCursor");
    fakeCursorHidden = true;
}

void showCursor() {
    fakeCalls.push_back("showCursor");
    fakeCursorHidden = false;
}
